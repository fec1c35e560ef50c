#include "db/CFbCursor.h"
#include "db/CXsqlda.h"
#include "db/FbHandles.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

namespace
{
class Cursor : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
    }
};

const char* const Ddl = R"(
CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S SMALLINT, B BIGINT, N NUMERIC(15,2), M NUMERIC(9,3),
  D DOUBLE PRECISION, F FLOAT, DA DATE, TI TIME, TS TIMESTAMP, BO BOOLEAN,
  C CHAR(3) CHARACTER SET WIN1252, V VARCHAR(10), O VARCHAR(5) CHARACTER SET OCTETS,
  VC VARCHAR(8) CHARACTER SET ISO8859_1 COLLATE DE_DE,
  TX BLOB SUB_TYPE TEXT CHARACTER SET WIN1252, BI BLOB SUB_TYPE BINARY, A INTEGER [3]);
INSERT INTO T (ID, V) VALUES (1, 'one');
INSERT INTO T (ID, V) VALUES (2, 'two');
INSERT INTO T (ID, V) VALUES (3, 'three');
)";
} // namespace

// The cursor describes every column as the descriptor API does, so the code
// that reads its rows sees the same types, lengths, character sets and names.
TEST_P(Cursor, ColumnsAreDescribedAsTheDescriptorApiDescribesThem)
{
    CTempDatabase db(Ddl, CTempDatabase::SOptions{"UTF8", GetParam(), "c.fdb"});
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    const std::string sql = "SELECT T.*, ID + 1 AS NEXT_ID, 'x' || V FROM T ORDER BY ID";

    ASSERT_TRUE(connection.EnsureTransaction());
    CFbStatus status;
    isc_stmt_handle statement = 0;
    CXsqlda described(64);
    ASSERT_EQ(isc_dsql_allocate_statement(status, CFbHandles::Database(connection), &statement), 0);
    ASSERT_EQ(
        isc_dsql_prepare(status, CFbHandles::Transaction(connection), &statement, 0, sql.c_str(), 3, described.Get()),
        0)
        << status.Message();

    CFbCursor cursor(connection);
    ASSERT_TRUE(cursor.Open(sql)) << cursor.LastErrorMessage();
    ASSERT_EQ(cursor.ColumnCount(), described.Described());
    for (int i = 0; i < cursor.ColumnCount(); ++i)
    {
        const XSQLVAR& expected = described.Var(i);
        const XSQLVAR& seen = cursor.Column(i);
        const std::string name(expected.aliasname, static_cast<size_t>(expected.aliasname_length));
        EXPECT_EQ(seen.sqltype, expected.sqltype) << name;
        EXPECT_EQ(seen.sqllen, expected.sqllen) << name;
        EXPECT_EQ(seen.sqlscale, expected.sqlscale) << name;
        EXPECT_EQ(seen.sqlsubtype, expected.sqlsubtype) << name;
        EXPECT_EQ(cursor.ColumnName(i), name);
        EXPECT_EQ(std::string(seen.sqlname, static_cast<size_t>(seen.sqlname_length)),
                  std::string(expected.sqlname, static_cast<size_t>(expected.sqlname_length)))
            << name;
        EXPECT_EQ(std::string(seen.relname, static_cast<size_t>(seen.relname_length)),
                  std::string(expected.relname, static_cast<size_t>(expected.relname_length)))
            << name;
    }
    isc_dsql_free_statement(status, &statement, DSQL_drop);

    // The values arrive where the descriptors point, NULL by the indicator.
    std::vector<std::string> names;
    while (cursor.Fetch() == 1)
    {
        SColumnValue value;
        ASSERT_TRUE(cursor.Value(12, EValueForm::Exact, value)); // V
        names.push_back(value.text);
        EXPECT_LT(*cursor.Column(1).sqlind, 0); // S is NULL
    }
    EXPECT_EQ(names, (std::vector<std::string>{"one", "two", "three"}));
}

// What fails is said in the server's own words, and the cursor opens again.
TEST_P(Cursor, FailuresCarryTheServersMessage)
{
    CTempDatabase db(Ddl, CTempDatabase::SOptions{"UTF8", GetParam(), "c.fdb"});
    CFbConnection notAttached(1);
    CFbCursor idle(notAttached);
    EXPECT_FALSE(idle.Open("SELECT ID FROM T"));
    EXPECT_NE(idle.LastErrorMessage().find("invalid database handle"), std::string::npos) << idle.LastErrorMessage();

    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, db.Name()));
    CFbCursor cursor(connection);
    EXPECT_FALSE(cursor.Open("SELECT ID FROM MISSING"));
    EXPECT_NE(cursor.LastErrorMessage().find("MISSING"), std::string::npos) << cursor.LastErrorMessage();

    ASSERT_TRUE(cursor.Open("SELECT 10 / (ID - 2) FROM T ORDER BY ID")) << cursor.LastErrorMessage();
    EXPECT_EQ(cursor.Fetch(), 1);
    EXPECT_EQ(cursor.Fetch(), -1);
    EXPECT_NE(cursor.LastErrorMessage().find("divide by zero"), std::string::npos) << cursor.LastErrorMessage();

    ASSERT_TRUE(cursor.Open("SELECT COUNT(*) FROM T")) << cursor.LastErrorMessage();
    ASSERT_EQ(cursor.Fetch(), 1);
    SColumnValue count;
    ASSERT_TRUE(cursor.Value(0, EValueForm::Exact, count));
    EXPECT_EQ(count.text, "3");
    EXPECT_EQ(cursor.Fetch(), 0);
    cursor.Close();
    EXPECT_TRUE(connection.Disconnect()) << connection.LastErrorMessage();
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, Cursor, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });
