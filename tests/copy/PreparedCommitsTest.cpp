// Rows that a copy prepared in several transactions and did not get to
// commit: the next run into the destination decides for them from the
// marks alone, and never touches a live run's.
#include "CopyFixture.h"

#include "copy/PreparedCommits.h"
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

struct SInterruptedCommit
{
    const char* what;
    bool mainInLimbo;     // else the main transaction committed before the interruption
    bool ownerAlive;      // the preparing program still runs
    Rows rowsAfter;       // what readers see after the next run began
    const char* logEntry; // "" when the run must leave the group alone
};

TEST_P(PreparedCommits, TheNextRunDecidesFromTheMarks)
{
    const SInterruptedCommit cases[] = {
        {"interrupted before the main commit", true, false, {}, "rolled back from prepared transactions"},
        {"interrupted between the commits",
         false,
         false,
         {{"1"}, {"2"}, {"3"}},
         "committed from prepared transactions"},
        {"a live run's group", true, true, {}, ""},
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
        if (c.mainInLimbo)
            LeaveInLimbo(database, 1, mark);
        else
            copy->dest.Run("INSERT INTO T VALUES (1);");
        mark.main = false;
        LeaveInLimbo(database, 2, mark);
        LeaveInLimbo(database, 3, mark);

        // A run into the destination, of another table, ends what stands in limbo first.
        const SRunRecord run = RunTables(*copy, {"U"});
        EXPECT_TRUE(run.result.allCopied) << copy->RunLog();
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
