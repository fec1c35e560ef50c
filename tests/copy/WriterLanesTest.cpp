// The writers that carry a large table side by side over a slow network,
// reached through the relay that gives the loopback server a network's
// round trip: only there does a copy get writer lanes.
#include "CopyFixture.h"
#include "copy/run/CRunSession.h"
#include "relay/CLatencyRelay.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace
{
using std::chrono::milliseconds;

std::string Rows(int count)
{
    return "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(40), N NUMERIC(12,2), D DOUBLE PRECISION);"
           "SET TERM ^;"
           "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= " +
           std::to_string(count) +
           ") DO BEGIN INSERT INTO T VALUES (:I, IIF(MOD(:I, 11) = 0, NULL, 'row ' || :I || LPAD('', MOD(:I, 23), "
           "'ü')),"
           " :I * 1.25, :I / 7.0e0); I = I + 1; END END^"
           "SET TERM ;^";
}

std::uint16_t ServerPort()
{
    const std::string& prefix = TestServer().prefix; // "host/port:"
    const size_t slash = prefix.rfind('/');
    return static_cast<std::uint16_t>(slash == std::string::npos ? 3050 : std::stoi(prefix.substr(slash + 1)));
}

// The fixture's databases, reached through a relay of the given delay.
struct SRelayedCopy
{
    SRelayedCopy(const std::string& sourceDdl, const std::string& destDdl, int delayMs)
        : copy(sourceDdl, destDdl, OnPath(true, "source.fdb"), OnPath(true, "dest.fdb"))
    {
        started = relay.Start(ServerPort(), milliseconds(delayMs));
        const std::string prefix = "127.0.0.1/" + std::to_string(relay.Port()) + ":";
        prepared = copy.engine.PrepareCopy(prefix + copy.source.Path(), "", "", prefix + copy.dest.Path(), "", "",
                                           false, copy.program.Path(), false);
    }

    CLatencyRelay relay;
    SCopyFixture copy;
    bool started = false;
    int prepared = -1;
};

// Rows, logs and the report are those of a copy that inserts one row at a
// time: refused rows fail alone, with their own server message, in order.
TEST(WriterLanes, CarryALargeTableWithTheLogsOfOneWriterAtATime)
{
    REQUIRE_TEST_SERVER();
    const std::string source = Rows(6000);
    const std::string dest =
        "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(40), N NUMERIC(12,2), D DOUBLE PRECISION,"
        " CONSTRAINT NO_SEVENS CHECK (MOD(ID, 1000) <> 7));";
    SRelayedCopy relayed(source, dest, 1);
    ASSERT_TRUE(relayed.started);
    ASSERT_EQ(relayed.prepared, 0);
    SCopyFixture single(source, dest);
    single.engine.EditSettings().maxBatchRows = 1;
    EXPECT_FALSE(relayed.copy.Copy("T"));
    EXPECT_FALSE(single.Copy("T"));
    EXPECT_GE(relayed.copy.lastOutcome.writers, 3);
    EXPECT_EQ(single.lastOutcome.writers, 1);
    EXPECT_EQ(relayed.copy.RunLog(), single.RunLog());
    EXPECT_EQ(relayed.copy.SqlLog(), single.SqlLog());
    EXPECT_EQ(relayed.copy.TextLog(), single.TextLog());
    EXPECT_EQ(relayed.copy.Report(), "6 T record(s) could not be copied.\r\n\r\n");
    const char* rows = "SELECT ID, S, N, D FROM T ORDER BY ID";
    EXPECT_EQ(relayed.copy.dest.Query(rows), single.dest.Query(rows));
    EXPECT_EQ(relayed.copy.dest.Scalar("SELECT COUNT(*) FROM T"), "5994");
    EXPECT_EQ(CountOf(relayed.copy.SqlLog(), "NO_SEVENS"), 6u);
}

// Keys that the destination's case-insensitive key holds equal, far apart
// in the source's order: upper-case "K" keys sort between "A" and "k" keys,
// and each repeats a "k" key (every 5,000th less 4,321) that lies a few
// runs of rows later.
std::string RepeatedKeys()
{
    return "CREATE TABLE T (ID VARCHAR(10) CHARACTER SET UTF8 NOT NULL, S VARCHAR(40), N NUMERIC(12,2));"
           "SET TERM ^;"
           "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 30000) DO BEGIN"
           " INSERT INTO T VALUES ('k' || LPAD(:I, 5, '0'), 'row ' || :I, :I * 1.25);"
           " IF (I <= 3000) THEN INSERT INTO T VALUES ('A' || LPAD(:I, 5, '0'), 'early ' || :I, 0);"
           " IF (MOD(I, 5000) = 0) THEN INSERT INTO T VALUES ('K' || LPAD(:I - 4321, 5, '0'), 'upper ' || :I, 1);"
           " I = I + 1; END END^"
           "SET TERM ;^";
}

// Keys that a case- and accent-insensitive collation holds equal, with
// letters beyond ASCII, runs of rows apart in the source's order: each
// "ARGER…" key comes again as "Ärger…" 6,000 rows later and as "ärger…"
// 6,000 rows after that. The first of them comes after the first 3,000
// rows, once the lanes write.
std::string AccentedKeys()
{
    return "CREATE TABLE T (ID VARCHAR(12) CHARACTER SET UTF8 NOT NULL, S VARCHAR(40));"
           "SET TERM ^;"
           "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 6000) DO BEGIN"
           " IF (I <= 3000) THEN INSERT INTO T VALUES ('0' || LPAD(:I, 6, '0'), 'first ' || :I);"
           " INSERT INTO T VALUES ('M' || LPAD(:I, 6, '0'), 'middle ' || :I);"
           " INSERT INTO T VALUES ('Ö' || LPAD(:I, 6, '0'), 'late ' || :I);"
           " IF (I <= 4) THEN BEGIN"
           " INSERT INTO T VALUES ('ARGER' || LPAD(:I, 6, '0'), 'upper ' || :I);"
           " INSERT INTO T VALUES ('Ärger' || LPAD(:I, 6, '0'), 'accented ' || :I);"
           " INSERT INTO T VALUES ('ärger' || LPAD(:I, 6, '0'), 'lower ' || :I); END"
           " I = I + 1; END END^"
           "SET TERM ;^";
}

// Rows of equal key go to the same writer however far apart they are read,
// equal as the destination's collation of the key compares them: a
// repeated key fails at once with the key's own message, as with one
// writer, instead of waiting for another writer's transaction. Under
// UNICODE_CI_AI "ARGER…", "Ärger…" and "ärger…" are one key.
TEST(WriterLanes, KeysEqualUnderTheDestinationsCollationMeetInOneWriter)
{
    REQUIRE_TEST_SERVER();
    const struct
    {
        const char* collation;
        std::string source;
        std::string dest;
        size_t repeats;
    } cases[] = {
        {"UNICODE_CI", RepeatedKeys(),
         "CREATE TABLE T (ID VARCHAR(10) CHARACTER SET UTF8 NOT NULL PRIMARY KEY COLLATE UNICODE_CI,"
         " S VARCHAR(40), N NUMERIC(12,2));",
         6},
        {"UNICODE_CI_AI", AccentedKeys(),
         "CREATE TABLE T (ID VARCHAR(12) CHARACTER SET UTF8 NOT NULL PRIMARY KEY COLLATE UNICODE_CI_AI,"
         " S VARCHAR(40));",
         8},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.collation);
        SRelayedCopy relayed(c.source, c.dest, 1);
        ASSERT_EQ(relayed.prepared, 0);
        SCopyFixture single(c.source, c.dest);
        single.engine.EditSettings().maxBatchRows = 1;
        EXPECT_FALSE(relayed.copy.Copy("T"));
        EXPECT_FALSE(single.Copy("T"));
        EXPECT_GE(relayed.copy.lastOutcome.writers, 3);
        EXPECT_EQ(relayed.copy.Report(), std::to_string(c.repeats) + " T record(s) could not be copied.\r\n\r\n");
        EXPECT_EQ(relayed.copy.RunLog(), single.RunLog());
        EXPECT_EQ(relayed.copy.SqlLog(), single.SqlLog());
        EXPECT_EQ(CountOf(relayed.copy.SqlLog(), "violation of PRIMARY or UNIQUE KEY"), c.repeats);
        const char* rows = "SELECT ID, S FROM T ORDER BY ID";
        EXPECT_EQ(relayed.copy.dest.Query(rows), single.dest.Query(rows));
    }
}

std::string Chain(int count)
{
    return "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, P INTEGER NOT NULL);"
           "SET TERM ^;"
           "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= " +
           std::to_string(count) +
           ") DO BEGIN INSERT INTO T VALUES (:I, MAXVALUE(:I - 1, 1)); I = I + 1; END END^"
           "SET TERM ;^";
}

// Tables that other writers' transactions would change the copy of keep
// one writer, and copy as before: old rows (deleted by the table's own
// transaction, they would hold every new row of the same key), two unique
// keys that could meet, and rows that must find earlier rows of the table,
// which another writer's transaction hides until the end.
TEST(WriterLanes, TablesWhoseRowsCouldMeetKeepOneWriter)
{
    REQUIRE_TEST_SERVER();
    const struct
    {
        const char* what;
        std::string source;
        std::string dest;
    } cases[] = {
        {"old rows", Rows(3000), Rows(10)},
        {"a second unique key", Rows(3000),
         "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(40) UNIQUE, N NUMERIC(12,2),"
         " D DOUBLE PRECISION);"},
        {"a foreign key to the table itself", Chain(3000),
         "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, P INTEGER NOT NULL REFERENCES T (ID));"},
        {"a CHECK that selects from the table", Chain(3000),
         "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, P INTEGER NOT NULL,"
         " CONSTRAINT AFTER_ITS_PARENT CHECK (ID = 1 OR P IN (SELECT E.ID FROM T E)));"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        SRelayedCopy relayed(c.source, c.dest, 1);
        ASSERT_EQ(relayed.prepared, 0);
        EXPECT_TRUE(relayed.copy.Copy("T")) << relayed.copy.RunLog();
        EXPECT_EQ(relayed.copy.lastOutcome.writers, 1);
        EXPECT_EQ(relayed.copy.dest.Scalar("SELECT COUNT(*) FROM T"), "3000");
    }
}

// Writers that carry a table commit together: when the network of one of
// them fails, the table fails and no writer's rows stay.
TEST(WriterLanes, AWriterThatDiesRollsBackEveryWritersRows)
{
    REQUIRE_TEST_SERVER();
    SRelayedCopy relayed(Rows(60000),
                         "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(40), N NUMERIC(12,2),"
                         " D DOUBLE PRECISION);",
                         5);
    ASSERT_EQ(relayed.prepared, 0);
    std::atomic<bool> done{false};
    std::atomic<int> writers{0};
    bool copied = true;
    std::thread copying([&] {
        CRunSession session(relayed.copy.engine);
        session.SetListeners({}, {}, [&](int count) { writers = count; });
        relayed.copy.lastOutcome = session.CopyTable("T", ELogging::On);
        copied = relayed.copy.lastOutcome.status == ETableStatus::Copied;
        done = true;
    });
    // The writers attach once the first rows are on their way; once they
    // write, the last connection through the relay is one of theirs.
    bool cut = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done && !cut && std::chrono::steady_clock::now() < end)
    {
        if (writers.load() >= 3)
            cut = relayed.relay.CutNewest();
        else
            std::this_thread::sleep_for(milliseconds(5)); // polling, bounded by end
    }
    copying.join();
    ASSERT_TRUE(cut) << "no writer attached while the table was copied";
    EXPECT_FALSE(copied);
    EXPECT_GE(relayed.copy.lastOutcome.writers, 3);
    EXPECT_EQ(relayed.copy.dest.Scalar("SELECT COUNT(*) FROM T"), "0");
    // A writer cut while it writes ends the table there; one cut between
    // its blocks fails at the commit. Either way no row is failed one by one.
    const std::string log = relayed.copy.RunLog();
    EXPECT_EQ(CountOf(log, "ERROR: Failed to write to the destination") +
                  CountOf(log, "ERROR: Failed to commit the copied rows"),
              1u)
        << log.substr(0, 3000);
    if (log.find("ERROR: Failed to write to the destination") != std::string::npos)
    {
        EXPECT_EQ(CountOf(log, "Failed to add"), 0u);
    }
    // Every writer let go of its attachment, and nothing waits in limbo (the
    // engine keeps a line for each prepared transaction rolled back).
    EXPECT_EQ(relayed.copy.dest.Scalar("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> "
                                       "CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0"),
              "0");
    EXPECT_EQ(relayed.copy.dest.Scalar("SELECT COUNT(*) FROM RDB$TRANSACTIONS WHERE RDB$TRANSACTION_STATE = 1"), "0");
}
} // namespace
