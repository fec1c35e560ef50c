#include "db/CFbQuery.h"
#include "db/CFbCancel.h"
#include "db/CFbConnection.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace
{
const char* const Shop = R"(
CREATE TABLE ITEM (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20));
CREATE SEQUENCE GEN_ITEM;
SET TERM ^ ;
CREATE PROCEDURE TWICE (X INTEGER) RETURNS (Y INTEGER, NOTE VARCHAR(10)) AS
BEGIN
  Y = X * 2;
  NOTE = NULL;
END^
SET TERM ; ^
)";

// The query over a server or in this process.
class CFbQueryTest : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
        CTempDatabase::SOptions options;
        options.viaServer = GetParam();
        m_pDb = std::make_unique<CTempDatabase>(Shop, options);
        std::string script;
        for (int i = 1; i <= 25; ++i)
            script += "INSERT INTO ITEM VALUES (" + std::to_string(i) + ", " +
                      (i == 3 ? "NULL" : "'n" + std::to_string(i) + "'") + ");\n";
        m_pDb->Run(script);
        ASSERT_TRUE(m_connection.Connect(TestUser, TestPassword, m_pDb->Name()));
        m_cancel.SetTarget(m_connection);
    }

    std::unique_ptr<CTempDatabase> m_pDb;
    CFbConnection m_connection{1};
    CFbCancel m_cancel;
};

// Keeps asking for a stop until the work has ended, as the editor does.
void CancelUntil(CFbCancel& cancel, std::future<bool>& work)
{
    while (work.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        cancel.Cancel();
}
} // namespace

TEST_P(CFbQueryTest, RowsComePageByPageAndTheEndIsKnownWithTheLastPage)
{
    CFbQuery query(m_connection);
    CStringGrid columns;
    CStringGrid rows;
    ASSERT_TRUE(query.Run("SELECT ID, NAME FROM ITEM ORDER BY ID", columns, rows)) << query.LastErrorMessage();
    EXPECT_EQ(columns.GetCell(0, 0), "ID");
    EXPECT_EQ(columns.GetCell(1, 0), "NAME");
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_TRUE(query.HasMoreRows());

    ASSERT_TRUE(query.Fetch(10, rows));
    EXPECT_EQ(rows.RowCount(), 10);
    EXPECT_TRUE(query.HasMoreRows());
    ASSERT_TRUE(query.Fetch(10, rows));
    ASSERT_TRUE(query.Fetch(5, rows));
    EXPECT_EQ(rows.RowCount(), 25);
    // Exactly the last row fetched: the cursor knows it is done.
    EXPECT_FALSE(query.HasMoreRows());
    EXPECT_EQ(rows.GetCell(0, 24), "25");
    // NULL and the empty text differ by their mark only.
    EXPECT_TRUE(rows.IsCellNull(1, 2));
    EXPECT_EQ(rows.GetCell(1, 2), "");
    EXPECT_FALSE(rows.IsCellNull(1, 3));
}

TEST_P(CFbQueryTest, StatementsWithoutCursorGiveTheirRow)
{
    struct SCase
    {
        const char* sql;
        std::vector<std::string> values;
        std::vector<bool> nulls;
    };
    const SCase cases[] = {
        {"EXECUTE PROCEDURE TWICE(21)", {"42", ""}, {false, true}},
        {"INSERT INTO ITEM (ID, NAME) VALUES (100, 'new') RETURNING ID, NAME", {"100", "new"}, {false, false}},
        {"UPDATE ITEM SET NAME = 'upd' WHERE ID = 100 RETURNING OLD.NAME, NEW.NAME", {"new", "upd"}, {false, false}},
        {"SELECT NEXT VALUE FOR GEN_ITEM FROM RDB$DATABASE", {"1"}, {false}},
    };
    for (const SCase& c : cases)
    {
        CFbQuery query(m_connection);
        CStringGrid columns;
        CStringGrid rows;
        ASSERT_TRUE(query.Run(c.sql, columns, rows)) << c.sql << ": " << query.LastErrorMessage();
        if (query.HasMoreRows())
        {
            ASSERT_TRUE(query.Fetch(-1, rows));
        }
        ASSERT_EQ(rows.RowCount(), 1) << c.sql;
        ASSERT_EQ(columns.ColumnCount(), static_cast<int>(c.values.size())) << c.sql;
        for (size_t i = 0; i < c.values.size(); ++i)
        {
            EXPECT_EQ(rows.GetCell(static_cast<int>(i), 0), c.values[i]) << c.sql;
            EXPECT_EQ(rows.IsCellNull(static_cast<int>(i), 0), c.nulls[i]) << c.sql;
        }
    }
}

TEST_P(CFbQueryTest, StatementsWithoutResultLeaveNoColumnsAndDdlCommits)
{
    CFbQuery query(m_connection);
    CStringGrid columns;
    CStringGrid rows;
    ASSERT_TRUE(query.Run("DELETE FROM ITEM WHERE ID > 20", columns, rows));
    EXPECT_EQ(columns.ColumnCount(), 0);
    EXPECT_FALSE(query.HasMoreRows());
    ASSERT_TRUE(query.Run("CREATE TABLE FRESH (I INTEGER)", columns, rows));
    // The commit after DDL took the DELETE with it: another attachment sees it.
    EXPECT_EQ(m_pDb->Scalar("SELECT COUNT(*) FROM ITEM"), "20");
}

TEST_P(CFbQueryTest, AFailedStatementSaysWhyAndTheTransactionGoesOn)
{
    CFbQuery query(m_connection);
    CStringGrid columns;
    CStringGrid rows;
    ASSERT_TRUE(query.Run("INSERT INTO ITEM VALUES (200, 'kept')", columns, rows));
    EXPECT_FALSE(query.Run("SELECT NOPE FROM ITEM", columns, rows));
    EXPECT_NE(query.LastErrorMessage().find("NOPE"), std::string::npos);
    EXPECT_FALSE(query.Cancelled());
    // A fetch error is an error, not the end of the rows.
    ASSERT_TRUE(query.Run("SELECT 1 / (ID - 5) FROM ITEM ORDER BY ID", columns, rows));
    EXPECT_FALSE(query.Fetch(-1, rows));
    EXPECT_EQ(rows.RowCount(), 4);
    EXPECT_FALSE(query.HasMoreRows());
    ASSERT_TRUE(query.Run("SELECT NAME FROM ITEM WHERE ID = 200", columns, rows));
    ASSERT_TRUE(query.Fetch(-1, rows));
    EXPECT_EQ(rows.GetCell(0, 0), "kept");
}

TEST_P(CFbQueryTest, ACancelStopsALongQueryAtTheServerAndTheTransactionStaysUsable)
{
    CFbQuery query(m_connection, &m_cancel);
    CStringGrid columns;
    CStringGrid rows;
    ASSERT_TRUE(query.Run("INSERT INTO ITEM VALUES (300, 'before')", columns, rows));
    // Runs for many minutes unless stopped.
    const char* const endless =
        "SELECT COUNT(*) FROM RDB$FIELDS A, RDB$FIELDS B, RDB$FIELDS C, RDB$FIELDS D, RDB$FIELDS E";
    ASSERT_TRUE(query.Run(endless, columns, rows)) << query.LastErrorMessage();
    const auto start = std::chrono::steady_clock::now();
    std::future<bool> work = std::async(std::launch::async, [&] { return query.Fetch(-1, rows); });
    ASSERT_EQ(work.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    CancelUntil(m_cancel, work);
    EXPECT_FALSE(work.get());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(query.Cancelled());
    EXPECT_FALSE(query.HasMoreRows());

    m_cancel.Reset();
    ASSERT_TRUE(query.Run("SELECT NAME FROM ITEM WHERE ID = 300", columns, rows)) << query.LastErrorMessage();
    ASSERT_TRUE(query.Fetch(-1, rows));
    EXPECT_EQ(rows.GetCell(0, 0), "before");
    EXPECT_TRUE(m_connection.Commit());
    EXPECT_EQ(m_pDb->Scalar("SELECT NAME FROM ITEM WHERE ID = 300"), "before");
}

TEST_P(CFbQueryTest, AStopBetweenRowsEndsTheFetchWithoutTheServer)
{
    CFbQuery query(m_connection, &m_cancel);
    CStringGrid columns;
    CStringGrid rows;
    ASSERT_TRUE(query.Run("SELECT ID FROM ITEM", columns, rows));
    int seen = 0;
    EXPECT_FALSE(query.FetchEach([&](const std::vector<SColumnValue>&) {
        if (++seen == 3)
            m_cancel.Cancel();
        return true;
    }));
    EXPECT_EQ(seen, 3);
    EXPECT_TRUE(query.Cancelled());
    // The next statement is not refused for the old request.
    m_cancel.Reset();
    EXPECT_TRUE(query.Run("SELECT ID FROM ITEM", columns, rows));
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, CFbQueryTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "ThroughServer" : "InProcess";
                         });
