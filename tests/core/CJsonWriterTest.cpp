#include "core/CJsonWriter.h"

#include <clocale>
#include <gtest/gtest.h>

TEST(CJsonWriter, TextsAreEscapedAndBrokenUtf8BecomesReplacementCharacters)
{
    struct SCase
    {
        std::string text;
        std::string json;
    };
    const SCase cases[] = {
        {"plain", "\"plain\""},
        {"quote \" and \\ back", "\"quote \\\" and \\\\ back\""},
        {"line\nbreak\r\ttab\b\f", "\"line\\nbreak\\r\\ttab\\b\\f\""},
        {std::string("nul\0bell\x07", 9) + "\x1f", "\"nul\\u0000bell\\u0007\\u001f\""},
        {"Grüße €𝄞", "\"Grüße €𝄞\""},
        // Windows-1252 bytes, a lone continuation byte, a cut sequence, an
        // overlong slash, a surrogate and a code point beyond U+10FFFF.
        {"Gr\xfc\xdf"
         "e",
         "\"Gr\xEF\xBF\xBD\xEF\xBF\xBD"
         "e\""},
        {"\x80", "\"\xEF\xBF\xBD\""},
        {"\xe2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xc0\xaf", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xed\xa0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xf4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\x7f/", "\"\x7f/\""},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(CJsonWriter::Quoted(c.text), c.json) << c.json;
}

TEST(CJsonWriter, NumbersIgnoreTheLocaleAndNonFiniteOnesAreNull)
{
    // A locale with a decimal comma, where the system has one.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    CJsonWriter json;
    json.BeginArray();
    json.Number(1.23456, 3).Number(0.0, 1).Number(2.0 / 3.0, 2).Number(1e300 * 1e10, 3).Number(1234567890123LL);
    json.EndArray();
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(json.Text(), "[\n  1.235,\n  0.0,\n  0.67,\n  null,\n  1234567890123\n]\n");
}
