#include "db/CFbConnection.h"
#include "db/ValueFormat.h"
#include "support/CTempDatabase.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <regex>

namespace
{
const char* const AllTypes = R"(
CREATE TABLE ALLTYPES (
  ID INTEGER NOT NULL,
  C10 CHAR(10),
  V20 VARCHAR(20),
  N92 NUMERIC(9,2),
  N184 NUMERIC(18,4),
  DP DOUBLE PRECISION,
  FL FLOAT,
  SI SMALLINT,
  BI BIGINT,
  TS TIMESTAMP,
  DT DATE,
  TM TIME,
  TB BLOB SUB_TYPE TEXT,
  BB BLOB SUB_TYPE BINARY,
  BO BOOLEAN
);
)";

// Runs a query and gives its grids; fails the test on a failure code.
struct SResult
{
    CStringGrid rows;
    CStringGrid columns;
};

SResult Select(const CTempDatabase& db, const std::string& sql, EValueForm form)
{
    CFbConnection connection(1);
    EXPECT_TRUE(connection.Connect(TestUser, TestPassword, db.Name())) << connection.LastErrorMessage();
    SResult result;
    int failure = -1;
    connection.Execute(sql, failure, &result.rows, &result.columns, form);
    EXPECT_EQ(failure, 0) << connection.LastErrorMessage();
    return result;
}
} // namespace

TEST(ValueFormat, TrimSpacesRemovesOnlyBlanks)
{
    EXPECT_EQ(TrimSpaces("  ab  "), "ab");
    EXPECT_EQ(TrimSpaces("\tab\n"), "\tab\n");
    EXPECT_EQ(TrimSpaces("    "), "");
    EXPECT_EQ(TrimSpaces(""), "");
}

TEST(ValueFormat, ScaledIntegers)
{
    EXPECT_EQ(FormatScaledInteger(12345, -2), "123.45");
    EXPECT_EQ(FormatScaledInteger(5, -2), "0.05");
    EXPECT_EQ(FormatScaledInteger(-5, -2), "-0.05");
    EXPECT_EQ(FormatScaledInteger(-12345, -2), "-123.45");
    EXPECT_EQ(FormatScaledInteger(0, -2), "0.00");
    EXPECT_EQ(FormatScaledInteger(-7, 0), "-7");
    EXPECT_EQ(FormatScaledInteger(12, 2), "1200");
    EXPECT_EQ(FormatScaledInteger(INT64_MIN, -4), "-922337203685477.5808");
    EXPECT_EQ(FormatScaledInteger(INT64_MAX, -18), "9.223372036854775807");
}

TEST(ValueFormat, DisplayFormsOfEveryType)
{
    CTempDatabase db(AllTypes);
    db.Run(R"(INSERT INTO ALLTYPES VALUES (1, 'ab', '  lead', -0.07, 1.5, 2.25, 2.25, -32768, 9223372036854775807,
                '2024-01-31 13:45:10.1234', '2024-01-31', '08:05:03.0500', 'text blob', x'00FF', TRUE);
              INSERT INTO ALLTYPES (ID, N92, BO) VALUES (2, 1.00, FALSE);)");
    SResult r = Select(db, "SELECT * FROM ALLTYPES ORDER BY ID", EValueForm::Display);
    EXPECT_EQ(r.rows.GetCell(1, 0), "ab");
    EXPECT_EQ(r.rows.GetCell(2, 0), "lead");
    EXPECT_EQ(r.rows.GetCell(3, 0), "-0.07");
    EXPECT_EQ(r.rows.GetCell(3, 1), "1.00");
    EXPECT_EQ(r.rows.GetCell(4, 0), "1.5000");
    EXPECT_EQ(r.rows.GetCell(5, 0), "2.250000");
    EXPECT_EQ(r.rows.GetCell(6, 0), "2.25");
    EXPECT_EQ(r.rows.GetCell(7, 0), "-32768");
    EXPECT_EQ(r.rows.GetCell(8, 0), "9223372036854775807");
    EXPECT_EQ(r.rows.GetCell(9, 0), "2024-01-31 13:45:10.1234");
    EXPECT_EQ(r.rows.GetCell(10, 0), "2024-01-31");
    EXPECT_EQ(r.rows.GetCell(11, 0), "08:05:03.0500");
    EXPECT_TRUE(std::regex_match(r.rows.GetCell(12, 0), std::regex("[0-9a-f]{8}:[0-9a-f]{8}"))) << r.rows.GetCell(12, 0);
    EXPECT_TRUE(std::regex_match(r.rows.GetCell(13, 0), std::regex("[0-9a-f]{8}:[0-9a-f]{8}")));
    EXPECT_EQ(r.rows.GetCell(14, 0), "TRUE");
    EXPECT_EQ(r.rows.GetCell(14, 1), "FALSE");
    // NULLs read as empty texts in the display form too.
    EXPECT_EQ(r.rows.GetCell(5, 1), "");
    EXPECT_TRUE(r.rows.IsCellNull(5, 1));
}

TEST(ValueFormat, DescribeColumnsNamesClassesAndTypes)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER, NAME VARCHAR(30), CODE CHAR(4), FLAG BOOLEAN, AMOUNT NUMERIC(15,2),"
                     " D DOUBLE PRECISION, B BLOB SUB_TYPE TEXT);");
    SResult r = Select(db, "SELECT ID, NAME FROM T", EValueForm::Display);
    const char* expected0[] = {"ID", "VALUE", "T", "LONG", "4"};
    const char* expected1[] = {"NAME", "STRING", "", "VARCHAR(30)", "30"};
    for (int row = 0; row < 5; ++row)
    {
        EXPECT_EQ(r.columns.GetCell(0, row), expected0[row]) << "row " << row;
        EXPECT_EQ(r.columns.GetCell(1, row), expected1[row]) << "row " << row;
    }
    SResult all = Select(db, "SELECT CODE, FLAG, AMOUNT, D, B, ID AS ALIASED FROM T", EValueForm::Display);
    EXPECT_EQ(all.columns.GetCell(0, 1), "STRING");
    EXPECT_EQ(all.columns.GetCell(0, 3), "BLOB SUBTYPE TEXT");
    EXPECT_EQ(all.columns.GetCell(0, 4), "4");
    EXPECT_EQ(all.columns.GetCell(1, 1), "VALUE");
    EXPECT_EQ(all.columns.GetCell(1, 3), "BOOLEAN");
    EXPECT_EQ(all.columns.GetCell(2, 3), "INT");
    EXPECT_EQ(all.columns.GetCell(3, 3), "FLOAT");
    EXPECT_EQ(all.columns.GetCell(4, 1), "STRING");
    EXPECT_EQ(all.columns.GetCell(4, 3), "BLOB");
    EXPECT_EQ(all.columns.GetCell(5, 0), "ALIASED");
}

TEST(ValueFormat, ExactFormKeepsEveryByteAndDigit)
{
    CTempDatabase db(AllTypes);
    // A text BLOB over 64 KB: a literal is limited to 32 KB, so it is doubled in place.
    const std::string longText(8750 * 8, 'x');
    db.Run("INSERT INTO ALLTYPES (ID, C10, V20, DP, FL, TB, BB) VALUES (1, '  ab', ' both  ', 0.1, 0.1, '"
           + longText.substr(0, 8750) + "', x'00410042FF00');");
    db.Run("UPDATE ALLTYPES SET TB = TB || TB; UPDATE ALLTYPES SET TB = TB || TB; UPDATE ALLTYPES SET TB = TB || TB;");
    db.Run("INSERT INTO ALLTYPES (ID, V20, DP, FL) VALUES (2, '', 1.7976931348623157e308, 3.4028234e38);");
    SResult r = Select(db, "SELECT * FROM ALLTYPES ORDER BY ID", EValueForm::Exact);
    EXPECT_EQ(r.rows.GetCell(1, 0), "  ab");
    EXPECT_EQ(r.rows.GetCell(2, 0), " both  ");
    EXPECT_EQ(r.rows.GetCell(5, 0), "0.1");
    EXPECT_EQ(r.rows.GetCell(6, 0), "0.1");
    EXPECT_TRUE(r.rows.GetCell(12, 0) == longText) << r.rows.GetCell(12, 0).size();
    EXPECT_FALSE(r.rows.IsCellBinary(12, 0));
    EXPECT_EQ(r.rows.GetCell(13, 0), std::string("\x00\x41\x00\x42\xFF\x00", 6));
    EXPECT_TRUE(r.rows.IsCellBinary(13, 0));
    EXPECT_EQ(r.rows.GetCell(2, 1), "");
    EXPECT_FALSE(r.rows.IsCellNull(2, 1));
    EXPECT_TRUE(r.rows.IsCellNull(1, 1));
    EXPECT_TRUE(r.rows.IsCellNull(12, 1));
    EXPECT_EQ(std::strtod(r.rows.GetCell(5, 1).c_str(), nullptr), 1.7976931348623157e308);
    EXPECT_EQ(std::strtof(r.rows.GetCell(6, 1).c_str(), nullptr), 3.4028234e38f);
}

TEST(ValueFormat, ExactDoublesReadBackToTheSameBits)
{
    std::mt19937_64 random(42);
    for (int i = 0; i < 10000; ++i)
    {
        double value = 0;
        do
        {
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
        } while (!std::isfinite(value));
        const std::string text = FormatExactDouble(value);
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
        const float narrow = static_cast<float>(value);
        if (std::isfinite(narrow))
        {
            ASSERT_EQ(std::strtof(FormatExactFloat(narrow).c_str(), nullptr), narrow);
        }
    }
}

TEST(ValueFormat, ExactFormOfOctetsIsBinary)
{
    CTempDatabase db("CREATE TABLE T (H CHAR(4) CHARACTER SET OCTETS, V VARCHAR(4) CHARACTER SET OCTETS);"
                     "INSERT INTO T VALUES (x'00200020', x'0020');");
    SResult r = Select(db, "SELECT H, V FROM T", EValueForm::Exact);
    EXPECT_EQ(r.rows.GetCell(0, 0), std::string("\x00\x20\x00\x20", 4));
    EXPECT_TRUE(r.rows.IsCellBinary(0, 0));
    EXPECT_EQ(r.rows.GetCell(1, 0), std::string("\x00\x20", 2));
    EXPECT_TRUE(r.rows.IsCellBinary(1, 0));
}
