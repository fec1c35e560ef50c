#include "copy/logs/LogValues.h"

#include "core/CStringGrid.h"
#include "core/Crc32.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cstdio>

namespace
{
void AppendHex(std::string& text, const char* bytes, size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < size; ++i)
    {
        const auto c = static_cast<unsigned char>(bytes[i]);
        text += digits[c >> 4];
        text += digits[c & 15];
    }
}

// How many of the first bytes of a text are shown: LogHeadBytes, or fewer
// when the byte after them continues a UTF-8 character. Only the first
// LogHeadBytes + 1 bytes of the text are needed.
size_t ShownTextBytes(const char* bytes, size_t size)
{
    if (size <= LogHeadBytes)
        return size;
    const auto isContinuation = [&](size_t i) { return (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80; };
    size_t end = LogHeadBytes;
    // A UTF-8 character is at most four bytes: three steps back reach its start.
    while (end > LogHeadBytes - 3 && isContinuation(end))
        --end;
    return isContinuation(end) ? LogHeadBytes : end;
}

void AppendHead(std::string& text, ELogForm form, bool binary, bool isString, const char* bytes, size_t size)
{
    if (binary)
    {
        text += "x'";
        AppendHex(text, bytes, std::min(size, LogHeadBytes));
        text += "'";
        return;
    }
    const std::string head(bytes, ShownTextBytes(bytes, size));
    if (form == ELogForm::Sql && isString)
        text.append("'").append(EscapeSqlString(head)).append("'");
    else
        text += head;
}
} // namespace

std::string HexLiteral(const std::string& bytes)
{
    std::string text = "x'";
    text.reserve(2 * bytes.size() + 3);
    AppendHex(text, bytes.data(), bytes.size());
    text += '\'';
    return text;
}

std::string LengthComment(std::uint64_t length, std::uint32_t crc)
{
    const std::string plain = std::to_string(length);
    std::string digits;
    for (size_t i = 0; i < plain.size(); ++i)
    {
        if (i > 0 && (plain.size() - i) % 3 == 0)
            digits += ',';
        digits += plain[i];
    }
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "%08x", static_cast<unsigned>(crc));
    std::string comment = "/* ";
    comment.append(digits).append(" bytes, crc32 ").append(checksum).append(" */");
    return comment;
}

void AppendLogValue(std::string& text, ELogForm form, bool isString, const std::string& value, std::uint8_t marks)
{
    if (marks & CStringGrid::MarkNull)
    {
        if (form == ELogForm::Sql)
            text += "NULL";
        return;
    }
    const bool binary = (marks & CStringGrid::MarkBinary) != 0;
    if (value.size() > LogWholeBytes)
    {
        AppendHead(text, form, binary, isString, value.data(), value.size());
        text += LengthComment(value.size(), Crc32Update(0, value.data(), value.size()));
        return;
    }
    if (binary)
        text += HexLiteral(value);
    else if (form == ELogForm::Plain)
        text += value;
    else if (isString)
        text.append("'").append(EscapeSqlString(value)).append("'");
    else
        text += value.empty() ? "0" : value;
}

void CValueDigest::Reset(bool checksum)
{
    m_head.clear();
    m_nLength = 0;
    m_nCrc = 0;
    m_bChecksum = checksum;
}

void CValueDigest::Add(const char* data, size_t size)
{
    if (m_head.size() <= LogHeadBytes)
        m_head.append(data, std::min(size, LogHeadBytes + 1 - m_head.size()));
    if (m_bChecksum)
        m_nCrc = Crc32Update(m_nCrc, data, size);
    m_nLength += size;
}

void CValueDigest::AppendTo(std::string& text, ELogForm form, bool binary) const
{
    AppendHead(text, form, binary, true, m_head.data(), m_head.size());
    text += LengthComment(m_nLength, m_nCrc);
}
