#include "copy/logs/LogValues.h"
#include "core/CStringGrid.h"

#include <gtest/gtest.h>

namespace
{
std::string Repeated(const std::string& part, size_t times)
{
    std::string text;
    for (size_t i = 0; i < times; ++i)
        text += part;
    return text;
}

std::string Counting(size_t size)
{
    std::string bytes;
    for (size_t i = 0; i < size; ++i)
        bytes += static_cast<char>(i % 256);
    return bytes;
}

constexpr std::uint8_t Binary = CStringGrid::MarkBinary;
constexpr std::uint8_t Null = CStringGrid::MarkNull;

struct SCase
{
    const char* what;
    ELogForm form;
    bool isString;
    std::string value;
    std::uint8_t marks;
    std::string shown;
};
} // namespace

TEST(LogValues, ShortValuesAreShownWholeAndLongOnesByTheirHeadLengthAndChecksum)
{
    const std::string hex64 = "x'" + [] {
        std::string digits;
        for (int i = 0; i < 64; ++i)
        {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02X", i);
            digits += pair;
        }
        return digits;
    }() + "'";
    const std::string cutBeforeE = std::string(63, 'a') + Repeated("é", 100); // the 64th byte starts an é
    const SCase cases[] = {
        {"text", ELogForm::Sql, true, "O'Brien", 0, "'O''Brien'"},
        {"text", ELogForm::Plain, true, "O'Brien", 0, "O'Brien"},
        {"NULL", ELogForm::Sql, true, "", Null, "NULL"},
        {"NULL", ELogForm::Plain, true, "", Null, ""},
        {"number", ELogForm::Sql, false, "42", 0, "42"},
        {"empty number", ELogForm::Sql, false, "", 0, "0"},
        {"bytes", ELogForm::Sql, true, std::string("\0\xFF", 2), Binary, "x'00FF'"},
        {"bytes", ELogForm::Plain, true, std::string("\0\xFF", 2), Binary, "x'00FF'"},
        {"256 bytes", ELogForm::Sql, true, std::string(256, 'a'), 0, "'" + std::string(256, 'a') + "'"},
        {"256 bytes", ELogForm::Plain, true, std::string(256, 'a'), 0, std::string(256, 'a')},
        {"256 binary bytes", ELogForm::Plain, true, std::string(256, '\x41'), Binary, "x'" + Repeated("41", 256) + "'"},
        {"257 bytes", ELogForm::Sql, true, std::string(257, 'a'), 0,
         "'" + std::string(64, 'a') + "'/* 257 bytes, crc32 fab02a25 */"},
        {"257 bytes", ELogForm::Plain, true, std::string(257, 'a'), 0,
         std::string(64, 'a') + "/* 257 bytes, crc32 fab02a25 */"},
        {"300 binary bytes", ELogForm::Sql, true, Counting(300), Binary, hex64 + "/* 300 bytes, crc32 3abcfcee */"},
        {"300 binary bytes", ELogForm::Plain, true, Counting(300), Binary, hex64 + "/* 300 bytes, crc32 3abcfcee */"},
        {"apostrophes", ELogForm::Sql, true, std::string(300, '\''), 0,
         "'" + std::string(128, '\'') + "'/* 300 bytes, crc32 489638c2 */"},
        {"a character across the cut", ELogForm::Plain, true, cutBeforeE, 0,
         std::string(63, 'a') + "/* 263 bytes, crc32 98ffebe7 */"},
    };
    for (const SCase& c : cases)
    {
        std::string shown = "[";
        AppendLogValue(shown, c.form, c.isString, c.value, c.marks);
        EXPECT_EQ(shown, "[" + c.shown) << c.what << (c.form == ELogForm::Sql ? " in the SQL log" : " in plain logs");
    }
}

TEST(LogValues, LengthsAreWrittenWithThousandsSeparators)
{
    const struct
    {
        std::uint64_t length;
        std::uint32_t crc;
        const char* comment;
    } cases[] = {
        {257, 0xfab02a25u, "/* 257 bytes, crc32 fab02a25 */"},
        {1000, 0x1u, "/* 1,000 bytes, crc32 00000001 */"},
        {999999, 0x0u, "/* 999,999 bytes, crc32 00000000 */"},
        {32768001, 0x1a2b3c4du, "/* 32,768,001 bytes, crc32 1a2b3c4d */"},
        {5368709120ull, 0xffffffffu, "/* 5,368,709,120 bytes, crc32 ffffffff */"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LengthComment(c.length, c.crc), c.comment);
}

TEST(LogValues, AValueSeenInPiecesIsShownAsWhenHeldWhole)
{
    const std::string cutBeforeE = std::string(63, 'a') + Repeated("é", 100);
    for (const std::string& value : {Counting(300), cutBeforeE, Repeated("Grüße ", 10000)})
    {
        for (bool binary : {false, true})
        {
            for (ELogForm form : {ELogForm::Sql, ELogForm::Plain})
            {
                std::string whole;
                AppendLogValue(whole, form, true, value, binary ? Binary : 0);
                for (size_t piece : {size_t{1}, size_t{3}, size_t{64}, size_t{65}, size_t{1000}})
                {
                    CValueDigest digest;
                    digest.Reset(true);
                    for (size_t at = 0; at < value.size(); at += piece)
                        digest.Add(value.data() + at, std::min(piece, value.size() - at));
                    std::string pieces;
                    digest.AppendTo(pieces, form, binary);
                    EXPECT_EQ(pieces, whole) << piece;
                    EXPECT_EQ(digest.Length(), value.size());
                }
            }
        }
    }
}
