#include "CopyFixture.h"

#include "copy/verify/CopyCompare.h"
#include "db/ArrayIo.h"
#include "db/CFbConnection.h"
#include "db/CFbParamStatement.h"

#include <cstring>

namespace
{
template <typename T> std::string Elements(std::initializer_list<T> values)
{
    std::string data;
    for (const T& value : values)
        data.append(reinterpret_cast<const char*>(&value), sizeof value);
    return data;
}

// Text elements: CHAR padded with blanks to the element length; VARCHAR
// zero-ended in slots two bytes longer than its length.
std::string TextElements(std::initializer_list<std::string> values, size_t length, bool varying)
{
    std::string data;
    for (const std::string& value : values)
    {
        if (varying)
            data += value + std::string(length + 2 - value.size(), '\0'); // zero-ended in a slot of length + 2
        else
            data += value + std::string(length - value.size(), ' ');
    }
    return data;
}

// Arrays cannot be written in SQL: the source is filled through the client
// library's array calls, and every element is checked with SQL afterwards.
void FillArrays(const CTempDatabase& db, int32_t firstElement = 7)
{
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    ASSERT_TRUE(connection.EnsureTransaction());
    CFbStatus status;
    auto slice = [&](const char* column, const std::string& data) {
        auto result = std::make_shared<SArraySlice>();
        EXPECT_TRUE(LookupArrayBounds(status, connection, "A", column, result->desc)) << status.Message();
        result->data = data;
        return result;
    };
    ISC_DATE day1;
    ISC_DATE day2;
    struct tm date
    {
    };
    date.tm_year = 2024 - 1900;
    date.tm_mon = 1;
    date.tm_mday = 29;
    isc_encode_sql_date(&date, &day1);
    date.tm_year = 1 - 1900;
    date.tm_mon = 0;
    date.tm_mday = 1;
    isc_encode_sql_date(&date, &day2);
    CFbParamStatement update(connection);
    ASSERT_TRUE(update.Prepare("UPDATE A SET I = ?, D = ?, N = ?, DT = ?, S = ?, C = ?, V = ? WHERE ID = 1"))
        << update.LastErrorMessage();
    update.SetArray(0, "A", "I", slice("I", Elements<int32_t>({firstElement, -8, 9})));
    update.SetArray(1, "A", "D", slice("D", Elements<double>({0.1, 1e300, -2.5, 0.0, 3.0})));
    update.SetArray(2, "A", "N", slice("N", Elements<int32_t>({12345, -5})));
    update.SetArray(3, "A", "DT", slice("DT", Elements<ISC_DATE>({day1, day2})));
    update.SetArray(4, "A", "S", slice("S", Elements<int16_t>({-32768, 0, 32767})));
    auto chars = slice("C", "");
    chars->data = TextElements({"ab", "xyz"}, chars->desc.array_desc_length, false);
    update.SetArray(5, "A", "C", chars);
    auto varying = slice("V", "");
    varying->data = TextElements({"a", "", "O'B", "zz"}, varying->desc.array_desc_length, true);
    update.SetArray(6, "A", "V", varying);
    ASSERT_TRUE(update.Execute()) << update.LastErrorMessage();
    ASSERT_TRUE(connection.Disconnect());
}

class ArrayCopy : public EmbeddedOrServer
{
};

const char* const ArraySelect = "SELECT ID, I[1], I[2], I[3], D[1], D[2], D[3], D[4], D[5], N[-1], N[0], DT[1], DT[2],"
                                " S[1], S[2], S[3], C[1], C[2], V[0, 2], V[0, 3], V[1, 2], V[1, 3],"
                                " IIF(I IS NULL, 'null', 'set') FROM A ORDER BY ID";
} // namespace

TEST(SchemaCopy, ComputedColumnsAreLeftOutOfTheInsert)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER, X INTEGER, TWICE INTEGER); INSERT INTO T VALUES (1, 5, 99);",
                      "CREATE TABLE T (ID INTEGER, X INTEGER, TWICE COMPUTED BY (X * 2), NOTE VARCHAR(5));");
    EXPECT_TRUE(copy.Copy("T")) << copy.SqlLog();
    EXPECT_EQ(copy.dest.Query("SELECT ID, X, TWICE, NOTE FROM T"),
              (std::vector<std::vector<std::string>>{{"1", "5", "10", ""}}));
    EXPECT_NE(copy.SqlLog().find("INSERT INTO T (ID,X,NOTE) VALUES (1,5,'');"), std::string::npos) << copy.SqlLog();
}

TEST_P(ArrayCopy, ArraysArriveElementForElementAndTheVerificationComparesThem)
{
    const char* ddl = R"(CREATE TABLE A (ID INTEGER NOT NULL,
        I INTEGER[1:3], V VARCHAR(10)[0:1, 2:3], D DOUBLE PRECISION[5], N NUMERIC(9,2)[-1:0],
        DT DATE[2], C CHAR(3)[2], S SMALLINT[3]);)";
    auto copy = Make(ddl, ddl);
    copy->source.Run("INSERT INTO A (ID) VALUES (1); INSERT INTO A (ID) VALUES (2);");
    FillArrays(copy->source);
    copy->source.Run(""); // the arrays written above are the content the copy must leave alone
    const auto source = copy->source.Query(ArraySelect);
    ASSERT_EQ(source[0],
              (std::vector<std::string>{"1",  "7",      "-8",    "9",          "0.1",        "1e+300", "-2.5", "0",
                                        "3",  "123.45", "-0.05", "2024-02-29", "0001-01-01", "-32768", "0",    "32767",
                                        "ab", "xyz",    "a",     "",           "O'B",        "zz",     "set"}));
    ASSERT_TRUE(copy->Copy("A")) << copy->SqlLog();
    EXPECT_EQ(copy->dest.Query(ArraySelect), source);
    EXPECT_NE(copy->RunLog().find(Entry("A", "Verified: 2 rows identical")), std::string::npos) << copy->RunLog();

    // One element changed, and one array gone: a keyless table's rows are
    // ordered by their other columns.
    FillArrays(copy->dest, 6);
    copy->dest.Run("UPDATE A SET S = NULL WHERE ID = 1;");
    const SCompareReport report = CompareTables(copy->engine.Settings(), {"A"});
    ASSERT_TRUE(report.compared) << report.error;
    const STableVerification& result = report.tables.at(0).result;
    EXPECT_EQ(result.differing, 1) << CompareReportText(report);
    EXPECT_EQ(result.identical, 1) << CompareReportText(report);
    EXPECT_TRUE(result.notCompared.empty());
    const std::string text = CompareReportText(report);
    EXPECT_NE(text.find("Difference (ID=1, I: x'07000000F8FFFFFF09000000' in the source, x'06000000F8FFFFFF09000000' "
                        "in the destination)"),
              std::string::npos)
        << text;
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, ArrayCopy, ::testing::Values(false, true), PathName);

TEST(SchemaCopy, IdentityContinuesAfterTheCopiedKeys)
{
    SCopyFixture copy(R"(CREATE TABLE T (ID INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, S VARCHAR(5));
                         CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(5));
                         INSERT INTO T (S) VALUES ('a'); INSERT INTO T (S) VALUES ('b');
                         INSERT INTO T (S) VALUES ('c'); DELETE FROM T WHERE S = 'c';
                         INSERT INTO P VALUES (42, 'x');)",
                      R"(CREATE TABLE T (ID INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, S VARCHAR(5));
                         CREATE TABLE P (ID INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, S VARCHAR(5));)");
    ASSERT_TRUE(copy.Copy("T")) << copy.SqlLog();
    ASSERT_TRUE(copy.Copy("P")) << copy.SqlLog();
    // The source's sequence stood at 3 (its last row was deleted); P's source had no sequence.
    copy.dest.Run("INSERT INTO T (S) VALUES ('new'); INSERT INTO P (S) VALUES ('new');");
    EXPECT_EQ(copy.dest.Scalar("SELECT ID FROM T WHERE S = 'new'"), "4");
    EXPECT_EQ(copy.dest.Scalar("SELECT ID FROM P WHERE S = 'new'"), "43");
    EXPECT_NE(copy.SqlLog().find("ALTER TABLE T ALTER COLUMN ID RESTART WITH 3;"), std::string::npos);
    EXPECT_NE(copy.SqlLog().find("ALTER TABLE P ALTER COLUMN ID RESTART WITH 42;"), std::string::npos);
}
