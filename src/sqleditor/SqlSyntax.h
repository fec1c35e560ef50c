#pragma once

#include <string_view>
#include <vector>

// What a highlighted stretch of SQL text is.
enum class ESqlSpanKind
{
    Keyword,
    String,
    QuotedName,
    Comment,
};

struct SSqlSpan
{
    int start = 0;
    int length = 0;
    ESqlSpanKind kind = ESqlSpanKind::Keyword;
};

// Where a line ends inside a construct that goes on in the next line.
enum ESqlLineState
{
    SqlLineNormal = 0,
    SqlLineInString = 1,
    SqlLineInComment = 2,
    SqlLineInQuotedName = 3,
};

// Finds the keywords, string literals, quoted names and comments of one line
// of UTF-16 text, given the state the previous line ended in; returns the
// state this line ends in. Positions count UTF-16 units.
int ScanSqlLine(std::u16string_view line, int startState, std::vector<SSqlSpan>& spans);

// True for an SQL keyword (any letter case).
bool IsSqlKeyword(std::u16string_view word);
