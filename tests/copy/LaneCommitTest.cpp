// The two-phase commit of a table written by writer lanes, when the answer
// to a commit is lost between the phases: the database decides from the
// marks at once, as the next run would.
#include "BoundValues.h"
#include "CopyFixture.h"

#include "copy/run/RunSettings.h"
#include "copy/write/CWriterLanes.h"
#include "db/CFbConnection.h"
#include "db/CFbTransaction.h"
#include "db/PreparedTransactions.h"

namespace
{
class LaneCommit : public EmbeddedOrServer
{
};

// Ends attachments of the database (other than its own) that the condition
// names, as a server that lost them would: what they had prepared stays in limbo.
void EndAttachments(const std::string& database, const std::string& condition)
{
    CFbConnection killer(1);
    ASSERT_TRUE(killer.Connect(TestUser, TestPassword, database)) << killer.LastErrorMessage();
    int failure = 0;
    killer.Execute("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND"
                   " MON$SYSTEM_FLAG = 0 AND " +
                       condition,
                   failure);
    ASSERT_EQ(failure, 0) << killer.LastErrorMessage();
    ASSERT_TRUE(killer.Commit()) << killer.LastErrorMessage();
    killer.Disconnect();
}

struct SLostAnswer
{
    const char* what;
    CWriterLanes::ECommitStep step; // where the answers get lost
    bool mainLost;                  // the table's own attachment goes, else the lanes'
    bool committed;                 // what the database decides
    const char* rows;               // the rows the table holds afterwards
};

TEST_P(LaneCommit, AnAnswerLostBetweenTheCommitsIsDecidedAtOnce)
{
    const SLostAnswer cases[] = {
        {"the table's own commit is lost after the lanes prepared", CWriterLanes::ECommitStep::LanesPrepared, true,
         false, "0"},
        {"the lanes' commits are lost after the table's own committed", CWriterLanes::ECommitStep::MainCommitted, false,
         true, "301"},
    };
    for (const SLostAnswer& c : cases)
    {
        SCOPED_TRACE(c.what);
        CTempDatabase dest("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(20));",
                           OnPath(GetParam(), "dest.fdb"));
        SRunSettings settings;
        settings.dest = {dest.Name(), TestUser, TestPassword};
        CFbConnection main(1);
        ASSERT_TRUE(main.Connect(TestUser, TestPassword, dest.Name())) << main.LastErrorMessage();
        CStringGrid id;
        int failure = 0;
        main.Execute("SELECT CURRENT_CONNECTION FROM RDB$DATABASE", failure, &id);
        ASSERT_EQ(failure, 0) << main.LastErrorMessage();
        const std::string mainId = id.GetCell(0, 0);
        CFbTransaction rows(main);
        main.Execute("INSERT INTO T VALUES (0, 'main')", failure);
        ASSERT_EQ(failure, 0) << main.LastErrorMessage();

        int inserted = 0;
        CWriterLanes lanes(settings, "T", {"ID", "S"}, [&](ERowResult result, const std::string& message) {
            EXPECT_EQ(result, ERowResult::Inserted) << message;
            inserted += result == ERowResult::Inserted;
        });
        lanes.Start(2);
        std::string reason;
        ASSERT_TRUE(lanes.Open(reason)) << reason;
        for (int i = 1; i <= 300; ++i)
        {
            BoundRow row{TextValue(std::to_string(i)), TextValue("lane " + std::to_string(i))};
            lanes.Add(row);
        }
        lanes.Finish();
        ASSERT_EQ(inserted, 300);
        bool lost = false;
        lanes.WatchCommit([&](CWriterLanes::ECommitStep step) {
            if (step != c.step)
                return;
            EndAttachments(dest.Name(), std::string("MON$ATTACHMENT_ID ") + (c.mainLost ? "= " : "<> ") + mainId);
            lost = true;
        });
        std::string error;
        std::string leftInLimbo;
        EXPECT_EQ(lanes.CommitWith(rows, error, leftInLimbo), c.committed) << error;
        EXPECT_TRUE(lost);
        EXPECT_FALSE(error.empty()); // the lost answer's own message
        EXPECT_EQ(leftInLimbo, "");
        EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM T"), c.rows);
        EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM RDB$TRANSACTIONS WHERE RDB$TRANSACTION_STATE = 1"), "0");
    }
}
} // namespace

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, LaneCommit, ::testing::Values(false, true), PathName);
