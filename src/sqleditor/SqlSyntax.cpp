#include "sqleditor/SqlSyntax.h"

#include "db/SqlText.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace
{
// Words that are not reserved in Firebird 3 but read as keywords in the
// statements people type into the editor.
constexpr std::string_view NonReservedKeywords[] = {
    "ACTIVE",   "AFTER", "ASC",   "BEFORE",    "COMPUTED", "DATABASE", "DESC", "FIRST", "GENERATOR", "IF",
    "INACTIVE", "KEY",   "NULLS", "RETURNING", "SEQUENCE", "SKIP",     "TERM", "TYPE",  "WORK",
};

bool IsWordStart(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

bool IsWordPart(char16_t c)
{
    return IsWordStart(c) || (c >= u'0' && c <= u'9') || c == u'$';
}

// Scans a quoted stretch from pos (just after the opening quote, or the line
// start when continuing); a doubled quote stays inside. Returns the position
// after the closing quote, or npos when the line ends inside.
size_t SkipQuoted(std::u16string_view line, size_t pos, char16_t quote)
{
    while (pos < line.size())
    {
        if (line[pos] == quote)
        {
            if (pos + 1 < line.size() && line[pos + 1] == quote)
            {
                pos += 2;
                continue;
            }
            return pos + 1;
        }
        ++pos;
    }
    return std::u16string_view::npos;
}
} // namespace

bool IsSqlKeyword(std::u16string_view word)
{
    std::string upper;
    upper.reserve(word.size());
    for (char16_t c : word)
    {
        if (c > 0x7F)
            return false;
        upper += static_cast<char>(c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c);
    }
    return IsReservedWord(upper) || std::find(std::begin(NonReservedKeywords), std::end(NonReservedKeywords), upper) !=
                                        std::end(NonReservedKeywords);
}

int ScanSqlLine(std::u16string_view line, int startState, std::vector<SSqlSpan>& spans)
{
    spans.clear();
    const size_t npos = std::u16string_view::npos;
    size_t pos = 0;
    auto add = [&](size_t start, size_t end, ESqlSpanKind kind) {
        spans.push_back({static_cast<int>(start), static_cast<int>(end - start), kind});
    };
    // Continue what the previous line left open.
    if (startState == SqlLineInComment)
    {
        const size_t close = line.find(u"*/");
        if (close == npos)
        {
            add(0, line.size(), ESqlSpanKind::Comment);
            return SqlLineInComment;
        }
        add(0, close + 2, ESqlSpanKind::Comment);
        pos = close + 2;
    }
    else if (startState == SqlLineInString || startState == SqlLineInQuotedName)
    {
        const bool isString = startState == SqlLineInString;
        const size_t end = SkipQuoted(line, 0, isString ? u'\'' : u'"');
        const ESqlSpanKind kind = isString ? ESqlSpanKind::String : ESqlSpanKind::QuotedName;
        if (end == npos)
        {
            add(0, line.size(), kind);
            return startState;
        }
        add(0, end, kind);
        pos = end;
    }

    while (pos < line.size())
    {
        const char16_t c = line[pos];
        if (c == u'-' && pos + 1 < line.size() && line[pos + 1] == u'-')
        {
            add(pos, line.size(), ESqlSpanKind::Comment);
            return SqlLineNormal;
        }
        if (c == u'/' && pos + 1 < line.size() && line[pos + 1] == u'*')
        {
            const size_t close = line.find(u"*/", pos + 2);
            if (close == npos)
            {
                add(pos, line.size(), ESqlSpanKind::Comment);
                return SqlLineInComment;
            }
            add(pos, close + 2, ESqlSpanKind::Comment);
            pos = close + 2;
            continue;
        }
        if (c == u'\'' || c == u'"')
        {
            const ESqlSpanKind kind = c == u'\'' ? ESqlSpanKind::String : ESqlSpanKind::QuotedName;
            const size_t end = SkipQuoted(line, pos + 1, c);
            if (end == npos)
            {
                add(pos, line.size(), kind);
                return c == u'\'' ? SqlLineInString : SqlLineInQuotedName;
            }
            add(pos, end, kind);
            pos = end;
            continue;
        }
        if (IsWordStart(c))
        {
            size_t end = pos + 1;
            while (end < line.size() && IsWordPart(line[end]))
                ++end;
            if (IsSqlKeyword(line.substr(pos, end - pos)))
                add(pos, end, ESqlSpanKind::Keyword);
            pos = end;
            continue;
        }
        // Digits glued to letters (a name such as T1 is caught above; 1E5
        // here) must not start a keyword in the middle.
        if (c >= u'0' && c <= u'9')
        {
            while (pos < line.size() && IsWordPart(line[pos]))
                ++pos;
            continue;
        }
        ++pos;
    }
    return SqlLineNormal;
}
