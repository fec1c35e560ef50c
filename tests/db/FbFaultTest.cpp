// Failures provoked on real databases, and whose fault the engine's codes
// say they are.
#include "db/FbFault.h"
#include "db/CFbParamStatement.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

namespace
{
const char* const Schema = "CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY);"
                           "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, N INTEGER NOT NULL, S VARCHAR(3),"
                           " D DATE, X INTEGER CHECK (X >= 0), R INTEGER REFERENCES P (ID), SM SMALLINT,"
                           " L VARCHAR(10) CHARACTER SET WIN1252);"
                           "INSERT INTO P VALUES (1); INSERT INTO T (ID, N) VALUES (1, 1);";

struct SRowCase
{
    const char* what;
    const char* column; // the column that receives value besides ID and N
    const char* id;
    const char* value; // nullptr: NULL
};

class Fault : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
        m_db = std::make_unique<CTempDatabase>(Schema, CTempDatabase::SOptions{"UTF8", GetParam(), "fault.fdb"});
        ASSERT_TRUE(m_connection.Connect(TestUser, TestPassword, m_db->Name())) << m_connection.LastErrorMessage();
    }

    std::unique_ptr<CTempDatabase> m_db;
    CFbConnection m_connection{1};
};
} // namespace

// Each failure is the row's own: another row would go in.
TEST_P(Fault, ARowsOwnValuesFailOnlyThatRow)
{
    const SRowCase cases[] = {
        {"a duplicate primary key", "S", "1", "a"},
        {"NULL into NOT NULL", "N", "2", nullptr},
        {"a value too long", "S", "2", "abcd"},
        {"text that is no number", "X", "2", "abc"},
        {"a number too large", "SM", "2", "100000"},
        {"a date that does not exist", "D", "2", "2024-13-45"},
        {"a CHECK", "X", "2", "-1"},
        {"a foreign key", "R", "2", "7"},
        {"a character the column cannot hold", "L", "2", "\xe3\x81\x82"},
    };
    for (const SRowCase& c : cases)
    {
        const std::string column = c.column;
        const bool intoN = column == "N";
        CFbParamStatement insert(m_connection);
        ASSERT_TRUE(insert.Prepare("INSERT INTO T (ID, N" + (intoN ? std::string() : ", " + column) + ") VALUES (?, ?" +
                                   (intoN ? "" : ", ?") + ")"))
            << insert.LastErrorMessage();
        insert.SetBytes(0, c.id, false);
        if (intoN)
            insert.SetNull(1);
        else
        {
            insert.SetBytes(1, "5", false);
            if (c.value)
                insert.SetBytes(2, c.value, false);
            else
                insert.SetNull(2);
        }
        EXPECT_FALSE(insert.Execute()) << c.what;
        EXPECT_EQ(insert.LastFault(), EFbFault::Row) << c.what << ": " << insert.LastErrorMessage();
    }
}

// A row another transaction holds, and an attachment ended from outside:
// no row is to blame.
TEST_P(Fault, AnUpdateConflictAndAnEndedAttachmentEndTheTable)
{
    // Another attachment changes the row after this transaction began.
    CFbParamStatement update(m_connection);
    ASSERT_TRUE(update.Prepare("UPDATE T SET N = ? WHERE ID = 1"));
    CFbConnection holder(1);
    ASSERT_TRUE(holder.Connect(TestUser, TestPassword, m_db->Name()));
    int failure = 0;
    holder.Execute("UPDATE T SET N = 2 WHERE ID = 1", failure);
    ASSERT_EQ(failure, 0) << holder.LastErrorMessage();
    ASSERT_TRUE(holder.Commit());
    update.SetBytes(0, "3", false);
    EXPECT_FALSE(update.Execute());
    EXPECT_EQ(update.LastFault(), EFbFault::Table) << update.LastErrorMessage();

    // The monitoring tables end the attachment as an administrator would.
    CFbParamStatement insert(m_connection);
    ASSERT_TRUE(insert.Prepare("INSERT INTO T (ID, N) VALUES (?, ?)"));
    m_connection.Rollback();
    holder.Execute("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0",
                   failure);
    ASSERT_EQ(failure, 0) << holder.LastErrorMessage();
    holder.Commit();
    insert.SetBytes(0, "4", false);
    insert.SetBytes(1, "4", false);
    EXPECT_FALSE(insert.Execute());
    EXPECT_EQ(insert.LastFault(), EFbFault::Table) << insert.LastErrorMessage();
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, Fault, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });
