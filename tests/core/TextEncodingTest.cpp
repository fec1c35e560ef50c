#include "core/TextEncoding.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(WideToUtf8, EmptyTextGivesEmptyBytes)
{
    EXPECT_EQ(WideToUtf8(u""), "");
}

TEST(WideToUtf8, EncodesLatinAndSupplementaryCharacters)
{
    EXPECT_EQ(WideToUtf8(u"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(WideToUtf8(u"Stra\u00DFe \u20AC"), "Stra\xC3\x9F"
                                                 "e \xE2\x82\xAC");
    // A surrogate pair becomes one four-byte sequence, not two replacement characters.
    EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(WideToUtf8, StopsAtTheFirstZeroUnit)
{
    EXPECT_EQ(WideToUtf8(u"ab\0cd"s), "ab");
    EXPECT_EQ(WideToUtf8(u"\0cd"s), "");
}

TEST(WideToUtf8, LoneSurrogateIsReplacedAndTheRestKept)
{
    const std::u16string text = u"a"s + char16_t(0xD800) + u"b";
    EXPECT_EQ(WideToUtf8(text), "a\xEF\xBF\xBD"
                                "b");
}

TEST(Utf8ToWide, DecodesTwoAndFourByteSequences)
{
    EXPECT_EQ(Utf8ToWide("\xC3\xA9"), u"\u00E9");
    EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(Utf8ToWide("plain"), u"plain");
}

TEST(Utf8ToWide, StopsAtTheFirstZeroByte)
{
    EXPECT_EQ(Utf8ToWide("\xC3\xA9x\0tail"s), u"\u00E9x");
    EXPECT_EQ(Utf8ToWide("\0tail"s), u"");
    EXPECT_EQ(Utf8ToWide(""), u"");
}

TEST(Utf8ToWide, InvalidBytesBecomeReplacementCharactersAndTheRestIsKept)
{
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              u"a\uFFFDb");
    // A lead byte whose continuation is missing, in the middle and at the end.
    EXPECT_EQ(Utf8ToWide("a\xC3"
                         "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToWide("ab\xE2\x82"), std::u16string(u"ab") + u'\uFFFD');
}

TEST(Utf8ToWide, RoundTripsThroughWideToUtf8)
{
    const std::string text = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC \xF0\x9F\x98\x80 \xD0\x96";
    EXPECT_EQ(WideToUtf8(Utf8ToWide(text)), text);
}

TEST(Utf8ToCodePage, Windows1252)
{
    EXPECT_EQ(Utf8ToCodePage("\xC3\xA9", 1252), "\xE9");
    EXPECT_EQ(Utf8ToCodePage("caf\xC3\xA9 \xE2\x82\xAC"
                             "5",
                             1252),
              "caf\xE9 \x80"
              "5");
    EXPECT_EQ(Utf8ToCodePage("", 1252), "");
}

TEST(Utf8ToCodePage, OtherCodePages)
{
    EXPECT_EQ(Utf8ToCodePage("\xD0\x96", 1251), "\xC6");
    EXPECT_EQ(Utf8ToCodePage("\xC3\xA9", 28591), "\xE9");
    EXPECT_EQ(Utf8ToCodePage("\xC3\xA9 \xE2\x82\xAC", 65001), "\xC3\xA9 \xE2\x82\xAC");
}

TEST(Utf8ToCodePage, UnknownCodePageGivesEmptyText)
{
    EXPECT_EQ(Utf8ToCodePage("abc", 4711), "");
}

TEST(Utf8ToCodePage, StopsAtTheFirstZeroByte)
{
    EXPECT_EQ(Utf8ToCodePage("\xC3\xA9\0\xC3\xA9"s, 1252), "\xE9");
}

// The grid's export writes such a text as nothing rather than a part of it.
TEST(Utf8ToCodePage, TextWithACharacterTheCodePageLacksGivesEmptyText)
{
    EXPECT_EQ(Utf8ToCodePage("Name \xE4\xB8\xAD \xC3\xA9", 1252), "");
    EXPECT_EQ(Utf8ToCodePage("x\xF0\x9F\x98\x80y", 1252), "");
    // Invalid UTF-8 arrives as U+FFFD, which 1252 cannot hold either.
    EXPECT_EQ(Utf8ToCodePage("a\xFF"
                             "b",
                             1252),
              "");
}
