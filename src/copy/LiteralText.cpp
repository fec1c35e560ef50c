#include "copy/LiteralText.h"

#include "core/CStringGrid.h"
#include "db/SqlText.h"

std::string HexLiteral(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "x'";
    text.reserve(3 + 2 * bytes.size());
    for (unsigned char c : bytes)
    {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text + "'";
}

std::string SqlLiteral(const std::string& text, std::uint8_t marks, bool isString)
{
    if (marks & CStringGrid::MarkNull)
        return "NULL";
    if (marks & CStringGrid::MarkBinary)
        return HexLiteral(text);
    if (isString)
        return "'" + EscapeSqlString(text) + "'";
    return text.empty() ? "0" : text;
}
