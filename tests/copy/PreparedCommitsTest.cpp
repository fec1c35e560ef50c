// Rows that a copy prepared in several transactions and did not get to
// commit: the next run into the destination decides for them from the
// marks alone, and never touches a live run's.
#include "CopyFixture.h"

#include "copy/write/PreparedCommits.h"
#include "db/CFbConnection.h"
#include "db/PreparedTransactions.h"

#include <sys/wait.h>
#include <unistd.h>

namespace
{
using Rows = std::vector<std::vector<std::string>>;

class PreparedCommits : public EmbeddedOrServer
{
};

// The pid of a process that has ended.
long EndedPid()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

// Inserts one row in a transaction of its own attachment, prepares it with
// mark and lets the attachment go as a crash would: the row stays in limbo.
void LeaveInLimbo(const std::string& database, int id, const SPreparedMark& mark)
{
    CFbConnection connection(1);
    ASSERT_TRUE(connection.Connect(TestUser, TestPassword, database)) << connection.LastErrorMessage();
    int failure = 0;
    connection.Execute("INSERT INTO T VALUES (" + std::to_string(id) + ")", failure);
    ASSERT_EQ(failure, 0) << connection.LastErrorMessage();
    ASSERT_TRUE(PrepareTransaction(connection, PreparedMarkText(mark))) << connection.LastErrorMessage();
    connection.ForgetTransaction();
    ASSERT_TRUE(connection.Disconnect()) << connection.LastErrorMessage();
}

enum class EMain
{
    InLimbo,
    Committed,  // before the interruption
    RolledBack, // prepared, then rolled back when a writer's answer got lost
};

struct SInterruptedCommit
{
    const char* what;
    EMain main;
    bool ownerAlive;      // the preparing program still runs
    Rows rowsAfter;       // what readers see after the next run began
    const char* logEntry; // "" when the run must leave the group alone
};

TEST_P(PreparedCommits, TheNextRunDecidesFromTheMarks)
{
    const SInterruptedCommit cases[] = {
        {"interrupted before the main commit", EMain::InLimbo, false, {}, "rolled back from prepared transactions"},
        {"interrupted between the commits",
         EMain::Committed,
         false,
         {{"1"}, {"2"}, {"3"}},
         "committed from prepared transactions"},
        {"a writer's prepare answer lost", EMain::RolledBack, false, {}, "rolled back from prepared transactions"},
        {"a live run's group", EMain::InLimbo, true, {}, ""},
    };
    for (const SInterruptedCommit& c : cases)
    {
        SCOPED_TRACE(c.what);
        auto copy = Make("CREATE TABLE U (ID INTEGER); INSERT INTO U VALUES (0);",
                         "CREATE TABLE T (ID INTEGER); CREATE TABLE U (ID INTEGER);");
        const std::string database = copy->dest.Name();
        SPreparedMark mark = OwnPreparedMark(NewCommitGroup(), "T", true);
        if (!c.ownerAlive)
            mark.pid = EndedPid();
        if (c.main == EMain::InLimbo)
            LeaveInLimbo(database, 1, mark);
        else if (c.main == EMain::Committed)
            copy->dest.Run("INSERT INTO T VALUES (1);");
        else
        {
            CFbConnection main(1);
            ASSERT_TRUE(main.Connect(TestUser, TestPassword, database));
            int failure = 0;
            main.Execute("INSERT INTO T VALUES (1)", failure);
            ASSERT_TRUE(PrepareTransaction(main, PreparedMarkText(mark))) << main.LastErrorMessage();
            ASSERT_TRUE(main.Rollback()) << main.LastErrorMessage();
        }
        mark.main = false;
        LeaveInLimbo(database, 2, mark);
        LeaveInLimbo(database, 3, mark);

        // A run into the destination, of another table, ends what stands in limbo first.
        copy->engine.FailedTables().SetPath(copy->program.File("FailedTables.txt"));
        const SRunRecord run = RunTables(*copy, {"U"});
        // Rows committed for a copy that never got to verify them, nor to set
        // the table's generators, are no finished copy: T is to be copied again.
        const bool committed = c.rowsAfter.size() > 0;
        EXPECT_EQ(run.result.allCopied, !committed) << copy->RunLog();
        EXPECT_EQ(run.result.committedFromLimbo,
                  committed ? std::vector<std::string>{"T"} : std::vector<std::string>{});
        std::vector<std::string> recorded;
        copy->engine.FailedTables().Find(copy->engine.DestinationKey(), recorded);
        EXPECT_EQ(recorded, committed ? std::vector<std::string>{"T"} : std::vector<std::string>{});
        EXPECT_EQ(copy->dest.Query("SELECT ID FROM U"), (Rows{{"0"}}));
        if (*c.logEntry)
        {
            EXPECT_EQ(CountOf(copy->RunLog(), c.logEntry), 1u) << copy->RunLog();
            EXPECT_EQ(copy->dest.Query("SELECT ID FROM T ORDER BY ID"), c.rowsAfter);
        }
        else
            EXPECT_EQ(CountOf(copy->RunLog(), "prepared transactions"), 0u) << copy->RunLog();
        CFbConnection reader(1);
        ASSERT_TRUE(reader.Connect(TestUser, TestPassword, database));
        std::vector<SPreparedTransaction> left;
        std::string error;
        ASSERT_TRUE(ReadPreparedTransactions(reader, left, error)) << error;
        EXPECT_EQ(left.size(), *c.logEntry ? 0u : 3u);
        for (const SPreparedTransaction& transaction : left)
            EXPECT_TRUE(EndPreparedTransaction(reader, transaction.id, false, error)) << error;
    }
}

TEST(PreparedMarks, ReadBackWhatTheyNameAndRefuseOthers)
{
    const SPreparedMark mark = OwnPreparedMark("group\t1", "ODD \"NAME\"\\", false);
    SPreparedMark read;
    ASSERT_TRUE(ParsePreparedMark(PreparedMarkText(mark), read));
    EXPECT_EQ(read.host, mark.host);
    EXPECT_EQ(read.pid, mark.pid);
    EXPECT_EQ(read.group, "group\t1");
    EXPECT_EQ(read.table, "ODD \"NAME\"\\");
    EXPECT_FALSE(read.main);
    EXPECT_FALSE(PreparedOwnerGone(read)); // this process runs
    for (const char* other : {"", "another tool's transaction", "Rowmover two-phase copy\thost\tx\tg\tmain\tT",
                              "Rowmover two-phase copy\thost\t1\tg\tboss\tT"})
        EXPECT_FALSE(ParsePreparedMark(other, read)) << other;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, PreparedCommits, ::testing::Values(false, true), PathName);
