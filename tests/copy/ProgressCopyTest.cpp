// What a long run shows of itself: rows done within a table, the run's share
// weighted by row counts, and an abort in the middle of a table that leaves
// the destination as it should and the run log saying what happened.
#include "CopyFixture.h"

#include "copy/run/CProgressMeter.h"
#include "copy/run/RunSteps.h"

#include <thread>

namespace
{
using Clock = CProgressMeter::Clock;

class ProgressCopy : public EmbeddedOrServer
{
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string ManyRows(const std::string& table, int rows)
{
    return "SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(rows) +
           ") DO BEGIN INSERT INTO " + table + " VALUES (:I, 'row ' || :I); I = I + 1; END END^ SET TERM ; ^";
}

struct SReport
{
    int index;
    SRowProgress progress;
};

// Runs the tables as one job and keeps every progress report.
std::vector<SReport> RunWithProgress(SCopyFixture& copy, const std::vector<std::string>& tables,
                                     const std::vector<long long>& counts = {})
{
    CStringGrid grid;
    grid.SetSize(1, static_cast<int>(tables.size()));
    for (size_t i = 0; i < tables.size(); ++i)
        grid.SetCell(0, static_cast<int>(i), tables[i]);
    CCopyJob job{&grid, &copy.engine, ELogging::On, true, counts};
    std::vector<SReport> reports;
    SCopyRunEvents events;
    events.progressInterval = std::chrono::milliseconds(0);
    events.tableProgress = [&](int index, const SRowProgress& progress) { reports.push_back({index, progress}); };
    const std::atomic<bool> never{false};
    const SCopyRunResult result = RunCopyJob(job, never, events);
    EXPECT_TRUE(result.allCopied) << copy.RunLog();
    return reports;
}
} // namespace

TEST_P(ProgressCopy, RowsOfAManyChunkTableRiseToItsRowCountAndTheRunShareToTheWhole)
{
    const char* ddl = "CREATE TABLE BIG (ID INTEGER, S VARCHAR(20)); CREATE TABLE SMALL (ID INTEGER, S VARCHAR(20));";
    auto copy = Make(std::string(ddl) + ManyRows("BIG", 3000) + ManyRows("SMALL", 1000), ddl);
    copy->engine.EditSettings().maxBatchRows = 16;
    const std::vector<SReport> reports = RunWithProgress(*copy, {"BIG", "SMALL"});

    std::vector<SReport> big;
    for (const SReport& report : reports)
    {
        if (report.index == 0)
            big.push_back(report);
    }
    ASSERT_GE(big.size(), 5u) << "reports of a table read in chunks of 256 rows";
    for (size_t i = 1; i < big.size(); ++i)
    {
        EXPECT_GE(big[i].progress.rows, big[i - 1].progress.rows) << i;
        EXPECT_EQ(big[i].progress.total, 3000) << i;
    }
    EXPECT_EQ(big.front().progress.rows, 0);
    EXPECT_EQ(big.back().progress.rows, 3000);
    EXPECT_EQ(big.back().progress.secondsLeft <= 0, true);

    // The share of the run never goes back; the first table is three
    // quarters of it by rows, and the run ends whole.
    for (size_t i = 1; i < reports.size(); ++i)
        EXPECT_GE(reports[i].progress.runShare, reports[i - 1].progress.runShare) << i;
    EXPECT_NEAR(big.back().progress.runShare, 3001.0 / 4002.0, 1e-6);
    EXPECT_EQ(reports.back().index, 1);
    EXPECT_EQ(reports.back().progress.rows, 1000);
    EXPECT_DOUBLE_EQ(reports.back().progress.runShare, 1.0);
    EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM BIG"), "3000");
}

TEST_P(ProgressCopy, CountsTheJobBringsAreTakenWithoutCountingAgain)
{
    const char* ddl = "CREATE TABLE T (ID INTEGER, S VARCHAR(20));";
    auto copy = Make(std::string(ddl) + ManyRows("T", 600), ddl);
    // A check counted 5,000 rows: the run takes its word, and at the end
    // the rows that really went through.
    const std::vector<SReport> reports = RunWithProgress(*copy, {"T"}, {5000});
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports.front().progress.total, 5000);
    EXPECT_EQ(reports.back().progress.rows, 600);
}

TEST_P(ProgressCopy, TablesNamedInAnotherLetterCaseAndMissingOnesAreCountedOrUnknown)
{
    auto copy =
        Make(R"(CREATE TABLE "Mixed" (ID INTEGER); INSERT INTO "Mixed" VALUES (1); INSERT INTO "Mixed" VALUES (2);
                        CREATE TABLE PLAIN (ID INTEGER);)",
             "CREATE TABLE MIXED (ID INTEGER); CREATE TABLE PLAIN (ID INTEGER);");
    EXPECT_EQ(CountSourceRows(copy->engine.Settings(), {"MIXED", "PLAIN", "NOT_THERE"}),
              (std::vector<long long>{2, 0, -1}));
}

TEST_P(ProgressCopy, AStopIsWrittenToTheRunLogWithTheTablesNotStarted)
{
    const char* ddl = "CREATE TABLE A (ID INTEGER); CREATE TABLE B (ID INTEGER); CREATE TABLE C (ID INTEGER);";
    auto copy = Make(std::string(ddl) + "INSERT INTO A VALUES (1); INSERT INTO B VALUES (2);", ddl);
    std::atomic<bool> stop{false};
    const SRunRecord run = RunTables(
        *copy, {"A", "B", "C"}, [&](const std::string&) { stop = true; }, &stop);
    EXPECT_TRUE(run.result.stopped);
    EXPECT_EQ(run.finished, (std::vector<std::string>{"A ok"}));
    EXPECT_TRUE(Contains(copy->RunLog(),
                         Entry("A", "Copy stopped by the user after this table; not started: 2 table(s)", "B, C")))
        << copy->RunLog();
}

// An abort in the middle of a table's rows, with the destination's table
// as the copy found it: with a trigger (switching it off commits the
// emptying) or without (the emptying goes back with the rows).
struct SAbortCase
{
    const char* name;
    bool withTrigger;
    const char* rowsLeft;
    const char* logSays;
};

TEST_P(ProgressCopy, AnAbortInTheMiddleOfATableLeavesTriggersGeneratorsAndTheJournalAsBefore)
{
    const SAbortCase cases[] = {
        // The triggers go off before the DELETE, which then goes back with the rows.
        {"trigger", true, "1", "The table holds the rows it had before this copy"},
        {"no trigger", false, "1", "The table holds the rows it had before this copy"},
    };
    for (const SAbortCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        std::string ddl = "CREATE TABLE T (ID INTEGER, S VARCHAR(20)); CREATE TABLE LATER (ID INTEGER);"
                          "CREATE GENERATOR G_T;";
        if (test.withTrigger)
            ddl += "SET TERM ^ ; CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN NEW.ID = NEW.ID + 0 * GEN_ID(G_T, 0);"
                   " END^ SET TERM ; ^";
        auto copy =
            Make(ddl + ManyRows("T", 60000) + "SET GENERATOR G_T TO 777; INSERT INTO LATER VALUES (1);",
                 ddl + "SET GENERATOR G_T TO 5; INSERT INTO T VALUES (-1, 'old'); INSERT INTO LATER VALUES (9);");
        copy->engine.EditSettings().maxBatchRows = 1;
        CStringGrid grid;
        grid.SetSize(1, 2);
        grid.SetCell(0, 0, "T");
        grid.SetCell(0, 1, "LATER");
        CCopyJob job{&grid, &copy->engine, ELogging::On, true, {}};
        SCopyRunEvents events;
        events.progressInterval = std::chrono::milliseconds(0);
        long long lastRows = 0;
        // The abort comes from another thread while the rows go in, as the
        // window's button or a second interrupt sends it.
        std::thread aborter;
        events.tableProgress = [&](int index, const SRowProgress& progress) {
            lastRows = progress.rows;
            if (index == 0 && progress.rows >= 500 && !aborter.joinable())
                aborter = std::thread([&] { copy->engine.RequestAbort(); });
        };
        const std::atomic<bool> never{false};
        const SCopyRunResult result = RunCopyJob(job, never, events);
        if (aborter.joinable())
            aborter.join();
        EXPECT_TRUE(result.aborted);
        EXPECT_EQ(result.abortedTable, "T");
        EXPECT_LT(lastRows, 60000);
        const std::string log = copy->RunLog();
        EXPECT_TRUE(Contains(log, Entry("T", "Copy aborted by the user"))) << log.substr(log.size() - 1500);
        EXPECT_TRUE(Contains(log, Entry("T", test.logSays))) << log.substr(log.size() - 1500);
        EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM T"), test.rowsLeft);
        EXPECT_EQ(copy->dest.Scalar("SELECT GEN_ID(G_T, 0) FROM RDB$DATABASE"), "5");
        EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$RELATION_NAME = 'T'"
                                    " AND RDB$TRIGGER_INACTIVE = 1"),
                  "0");
        EXPECT_TRUE(copy->engine.Journal().Entries().empty());
        EXPECT_EQ(copy->dest.Scalar("SELECT ID FROM LATER"), "9"); // not started, untouched
    }
}

TEST_P(ProgressCopy, AnAbortInAGroupOfJoinedTablesLeavesEveryTableWithItsOldRows)
{
    const char* ddl = "CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(20));"
                      "CREATE TABLE CHILD (ID INTEGER, PARENT_ID INTEGER REFERENCES PARENT (ID));";
    auto copy = Make(std::string(ddl) + ManyRows("PARENT", 60000) + "INSERT INTO CHILD VALUES (1, 1);",
                     std::string(ddl) + "INSERT INTO PARENT VALUES (-1, 'old'); INSERT INTO CHILD VALUES (5, -1);");
    copy->engine.EditSettings().maxBatchRows = 1;
    CStringGrid grid;
    grid.SetSize(1, 2);
    grid.SetCell(0, 0, "CHILD");
    grid.SetCell(0, 1, "PARENT");
    CCopyJob job{&grid, &copy->engine, ELogging::On, true, {}};
    SCopyRunEvents events;
    events.progressInterval = std::chrono::milliseconds(0);
    std::thread aborter;
    events.tableProgress = [&](int index, const SRowProgress& progress) {
        if (index == 1 && progress.rows >= 500 && !aborter.joinable())
            aborter = std::thread([&] { copy->engine.RequestAbort(); });
    };
    const std::atomic<bool> never{false};
    const SCopyRunResult result = RunCopyJob(job, never, events);
    if (aborter.joinable())
        aborter.join();
    EXPECT_TRUE(result.aborted);
    EXPECT_EQ(result.abortedTable, "PARENT");
    const std::string log = copy->RunLog();
    EXPECT_TRUE(Contains(log, Entry("PARENT", "Copy aborted by the user"))) << log.substr(log.size() - 1500);
    // The group is emptied and filled in one transaction: the abort takes
    // it back whole, and the log says so under each table.
    EXPECT_TRUE(Contains(log, Entry("PARENT", "The rows of the tables copied together are rolled back; the table "
                                              "holds the rows it had before this copy")))
        << log.substr(log.size() - 1500);
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(ID) FROM PARENT"), "-1");
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(PARENT_ID) FROM CHILD"), "-1");
    for (const STableOutcome& outcome : result.tables)
        EXPECT_EQ(outcome.status, ETableStatus::Stopped) << outcome.table;
    EXPECT_TRUE(copy->engine.Journal().Entries().empty());
}

TEST(ProgressMeter, SpeedAndTimeLeftFollowTheRowsAndTheClock)
{
    CProgressMeter meter({10000, -1});
    const Clock::time_point start{};
    meter.StartTable(0, start);
    struct SStep
    {
        int ms;
        long long rows;
        double rate;
        long long left;
    };
    // Too early to tell, then 1,000 rows a second; rows reported again never
    // take the numbers back.
    const SStep steps[] = {{100, 100, 0, -1}, {1000, 1000, 1000, 9}, {2000, 2000, 1000, 8}, {2500, 1500, 800, 10}};
    for (const SStep& step : steps)
    {
        const SRowProgress progress = meter.Update(step.rows, start + std::chrono::milliseconds(step.ms));
        EXPECT_EQ(progress.rows, std::max(step.rows, step.ms == 2500 ? 2000LL : step.rows)) << step.ms;
        EXPECT_DOUBLE_EQ(progress.rowsPerSecond, step.rate) << step.ms;
        EXPECT_EQ(progress.secondsLeft, step.left) << step.ms;
        EXPECT_EQ(progress.total, 10000);
    }
    meter.FinishTable();
    // The table of unknown size weighs as much as an average one: half the run.
    EXPECT_DOUBLE_EQ(meter.RunShare(), 0.5);
    meter.StartTable(1, start);
    const SRowProgress unknown = meter.Update(12000, start + std::chrono::seconds(4));
    EXPECT_EQ(unknown.total, -1);
    EXPECT_EQ(unknown.secondsLeft, -1);
    EXPECT_DOUBLE_EQ(unknown.rowsPerSecond, 3000);
    EXPECT_DOUBLE_EQ(unknown.runShare, 0.5);
    meter.FinishTable();
    EXPECT_DOUBLE_EQ(meter.RunShare(), 1.0);
}

TEST(ProgressMeter, ASourceThatGrewShowsTheRowsReadAsItsTotal)
{
    CProgressMeter meter({100});
    meter.StartTable(0, Clock::time_point{});
    const SRowProgress progress = meter.Update(150, Clock::time_point{} + std::chrono::seconds(1));
    EXPECT_EQ(progress.total, 150);
    EXPECT_EQ(progress.secondsLeft, 0);
    EXPECT_DOUBLE_EQ(progress.runShare, 1.0);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, ProgressCopy, ::testing::Values(false, true), PathName);
