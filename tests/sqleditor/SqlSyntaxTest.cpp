#include "sqleditor/SqlSyntax.h"

#include <gtest/gtest.h>

namespace
{
struct SSpanText
{
    std::u16string text;
    ESqlSpanKind kind;
    bool operator==(const SSpanText&) const = default;
};

std::vector<SSpanText> Spans(const std::u16string& line, int startState = SqlLineNormal, int* endState = nullptr)
{
    std::vector<SSqlSpan> spans;
    const int state = ScanSqlLine(line, startState, spans);
    if (endState)
        *endState = state;
    std::vector<SSpanText> result;
    for (const SSqlSpan& span : spans)
        result.push_back({line.substr(static_cast<size_t>(span.start), static_cast<size_t>(span.length)), span.kind});
    return result;
}
} // namespace

TEST(SqlSyntaxTest, KeywordsInAnyCaseButNotNames)
{
    EXPECT_EQ(Spans(u"select Name from PERSON where id=1"),
              (std::vector<SSpanText>{{u"select", ESqlSpanKind::Keyword},
                                      {u"from", ESqlSpanKind::Keyword},
                                      {u"where", ESqlSpanKind::Keyword}}));
}

TEST(SqlSyntaxTest, KeywordsInsideNamesAreNotKeywords)
{
    EXPECT_TRUE(Spans(u"SELECTED FROM_DATE T1SELECT 1E5").empty());
}

TEST(SqlSyntaxTest, StringsWithDoubledApostrophes)
{
    EXPECT_EQ(Spans(u"NAME='O''Neil' AND"),
              (std::vector<SSpanText>{{u"'O''Neil'", ESqlSpanKind::String}, {u"AND", ESqlSpanKind::Keyword}}));
}

TEST(SqlSyntaxTest, KeywordsInsideStringsAndCommentsStayThere)
{
    EXPECT_EQ(Spans(u"'select' -- from where"),
              (std::vector<SSpanText>{{u"'select'", ESqlSpanKind::String}, {u"-- from where", ESqlSpanKind::Comment}}));
    EXPECT_EQ(Spans(u"/* drop */ DROP"),
              (std::vector<SSpanText>{{u"/* drop */", ESqlSpanKind::Comment}, {u"DROP", ESqlSpanKind::Keyword}}));
}

TEST(SqlSyntaxTest, QuotedNames)
{
    EXPECT_EQ(Spans(u"\"Select \"\"x\"\"\""),
              (std::vector<SSpanText>{{u"\"Select \"\"x\"\"\"", ESqlSpanKind::QuotedName}}));
}

TEST(SqlSyntaxTest, ACommentGoesOnInTheNextLine)
{
    int state = -1;
    EXPECT_EQ(Spans(u"SELECT /* a", SqlLineNormal, &state),
              (std::vector<SSpanText>{{u"SELECT", ESqlSpanKind::Keyword}, {u"/* a", ESqlSpanKind::Comment}}));
    EXPECT_EQ(state, SqlLineInComment);
    EXPECT_EQ(Spans(u"from */ FROM", state, &state),
              (std::vector<SSpanText>{{u"from */", ESqlSpanKind::Comment}, {u"FROM", ESqlSpanKind::Keyword}}));
    EXPECT_EQ(state, SqlLineNormal);
}

TEST(SqlSyntaxTest, AStringGoesOnInTheNextLine)
{
    int state = -1;
    Spans(u"VALUES ('first", SqlLineNormal, &state);
    EXPECT_EQ(state, SqlLineInString);
    EXPECT_EQ(Spans(u"second') AND", state, &state),
              (std::vector<SSpanText>{{u"second'", ESqlSpanKind::String}, {u"AND", ESqlSpanKind::Keyword}}));
    EXPECT_EQ(state, SqlLineNormal);
}

TEST(SqlSyntaxTest, NonAsciiTextIsNoKeyword)
{
    EXPECT_TRUE(Spans(u"Größe").empty());
    EXPECT_FALSE(IsSqlKeyword(u"SELECTé"));
    EXPECT_TRUE(IsSqlKeyword(u"Select"));
    EXPECT_TRUE(IsSqlKeyword(u"first"));
}
