#include "copy/run/CCopyRun.h"

#include "CopyFixture.h"

#include <map>
#include <thread>
#include <vector>

namespace
{
struct SStarted
{
    int index;
    int count;
    std::string table;
    int percent;
    bool operator==(const SStarted&) const = default;
};

struct SFinished
{
    int index;
    std::string table;
    bool copied;
    bool operator==(const SFinished&) const = default;
};

void PrintTo(const SStarted& s, std::ostream* os)
{
    *os << "{" << s.index << ", " << s.count << ", " << s.table << ", " << s.percent << "%}";
}

void PrintTo(const SFinished& f, std::ostream* os)
{
    *os << "{" << f.index << ", " << f.table << ", " << (f.copied ? "copied" : "failed") << "}";
}

// Records what a run reports, in order.
struct SRecorder
{
    std::vector<SStarted> started;
    std::vector<SFinished> finished;
    std::function<void(int index)> onStarted;

    SCopyRunEvents Events()
    {
        SCopyRunEvents events;
        events.tableStarted = [this](int index, int count, const std::string& table, int percent) {
            started.push_back({index, count, table, percent});
            if (onStarted)
                onStarted(index);
        };
        events.tableFinished = [this](int index, const std::string& table, bool copied) {
            finished.push_back({index, table, copied});
        };
        return events;
    }
};

CStringGrid TableGrid(const std::vector<std::string>& names)
{
    CStringGrid grid;
    grid.SetSize(1, 0);
    for (const std::string& name : names)
    {
        grid.SetCell(0, grid.RowCount(), name);
        grid.AddRows(1);
    }
    return grid;
}

std::string TablesDdl(const std::vector<std::string>& names)
{
    std::string ddl;
    for (const std::string& name : names)
        ddl += "CREATE TABLE " + name + " (ID INTEGER, NAME VARCHAR(10));";
    return ddl;
}

std::string RowsDml(const std::vector<std::string>& names)
{
    std::string dml;
    for (const std::string& name : names)
        dml += "INSERT INTO " + name + " VALUES (1, '" + name + "');";
    return dml;
}
} // namespace

TEST(CCopyRun, SecondOfFourFailsAndTheOthersAreCopied)
{
    // B's destination has a NOT NULL date that nothing fills, so B fails
    // before its destination is touched.
    SCopyFixture copy(TablesDdl({"A", "B", "C", "D"}) + RowsDml({"A", "B", "C", "D"}),
                      TablesDdl({"A", "C", "D"}) + "CREATE TABLE B (NAME VARCHAR(10), SINCE DATE NOT NULL);"
                                                   "INSERT INTO B VALUES ('kept', '2020-01-01');");
    ASSERT_EQ(copy.prepared, 0);
    CStringGrid tables = TableGrid({"A", "B", "C", "D"});
    SRecorder recorder;
    const std::atomic<bool> stop{false};

    const SCopyRunResult result = RunCopyJob({&tables, &copy.engine, ELogging::On, false, {}}, stop, recorder.Events());

    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.allCopied);
    EXPECT_EQ(result.failedTables, 1);
    EXPECT_EQ(result.tablesRun, 4);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(recorder.started,
              (std::vector<SStarted>{{0, 4, "A", 0}, {1, 4, "B", 25}, {2, 4, "C", 50}, {3, 4, "D", 75}}));
    EXPECT_EQ(recorder.finished,
              (std::vector<SFinished>{{0, "A", true}, {1, "B", false}, {2, "C", true}, {3, "D", true}}));
    for (const char* table : {"A", "C", "D"})
        EXPECT_EQ(copy.dest.Scalar(std::string("SELECT NAME FROM ") + table), table);
    EXPECT_EQ(copy.dest.Scalar("SELECT NAME FROM B"), "kept");
    EXPECT_FALSE(copy.engine.IsRunActive());
}

TEST(CCopyRun, StopDuringTheSecondOfFiveCompletesItAndLeavesTheRest)
{
    const std::vector<std::string> names{"T1", "T2", "T3", "T4", "T5"};
    SCopyFixture copy(TablesDdl(names) + RowsDml(names), TablesDdl(names));
    ASSERT_EQ(copy.prepared, 0);
    CStringGrid tables = TableGrid(names);
    SRecorder recorder;
    std::atomic<bool> stop{false};
    // The request arrives once the second table has begun.
    recorder.onStarted = [&](int index) {
        if (index == 1)
            stop.store(true);
    };

    const SCopyRunResult result = RunCopyJob({&tables, &copy.engine, ELogging::On, false, {}}, stop, recorder.Events());

    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(result.allCopied);
    EXPECT_EQ(result.tablesRun, 2);
    EXPECT_EQ(recorder.finished, (std::vector<SFinished>{{0, "T1", true}, {1, "T2", true}}));
    EXPECT_EQ(recorder.started.size(), 2u);
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM T2"), "1");
    for (const char* table : {"T3", "T4", "T5"})
    {
        EXPECT_EQ(copy.dest.Scalar(std::string("SELECT COUNT(*) FROM ") + table), "0") << table;
        EXPECT_EQ(copy.RunLog().find(std::string("<TBL_") + table), std::string::npos) << table;
    }
    EXPECT_FALSE(copy.engine.IsRunActive());
}

TEST(CCopyRun, AnAbortWhileACommittedTableIsReadBackEndsTheRunAfterItAsAStop)
{
    // Its rows are in: nothing is rolled back, and the run says so.
    const std::vector<std::string> names{"T1", "T2", "T3"};
    SCopyFixture copy(TablesDdl(names) + RowsDml(names), TablesDdl(names));
    ASSERT_EQ(copy.prepared, 0);
    CStringGrid tables = TableGrid(names);
    SRecorder recorder;
    SCopyRunEvents events = recorder.Events();
    events.tableVerifying = [&](int, const std::string& table) {
        if (table == "T2")
            copy.engine.RequestAbort();
    };
    std::atomic<bool> stop{false};

    const SCopyRunResult result = RunCopyJob({&tables, &copy.engine, ELogging::On, false, {}}, stop, events);

    EXPECT_FALSE(result.aborted);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.stoppedAfter, "T2");
    EXPECT_EQ(result.notStarted, 1);
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM T2"), "1");
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM T3"), "0");
    EXPECT_NE(copy.RunLog().find("Copy stopped by the user after this table; not started: 1 table(s) (T3)"),
              std::string::npos)
        << copy.RunLog();
}

TEST(CCopyRun, AnAbortOnceAGroupIsCommittedEndsTheRunAfterIt)
{
    // PARENT and CHILD are committed together; an abort while they are read
    // back rolls nothing back, and the run ends after the group as a stop.
    const std::string ddl = "CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY);"
                            "CREATE TABLE CHILD (ID INTEGER, P_ID INTEGER REFERENCES PARENT (ID));"
                            "CREATE TABLE LATER (ID INTEGER);";
    SCopyFixture copy(ddl + "INSERT INTO PARENT VALUES (1); INSERT INTO CHILD VALUES (1, 1);"
                            "INSERT INTO LATER VALUES (1);",
                      ddl + "INSERT INTO PARENT VALUES (7); INSERT INTO CHILD VALUES (7, 7);");
    ASSERT_EQ(copy.prepared, 0);
    copy.engine.FailedTables().SetPath(copy.program.File("FailedTables.txt"));
    CStringGrid tables = TableGrid({"CHILD", "PARENT", "LATER"});
    SRecorder recorder;
    SCopyRunEvents events = recorder.Events();
    events.tableVerifying = [&](int, const std::string& table) {
        if (table == "PARENT")
            copy.engine.RequestAbort();
    };
    std::atomic<bool> stop{false};

    const SCopyRunResult result = RunCopyJob({&tables, &copy.engine, ELogging::On, false, {}}, stop, events);

    EXPECT_FALSE(result.aborted);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.notStarted, 1);
    std::map<std::string, ETableStatus> status;
    for (const STableOutcome& outcome : result.tables)
        status[outcome.table] = outcome.status;
    EXPECT_EQ(status["PARENT"], ETableStatus::Copied);
    EXPECT_EQ(status["CHILD"], ETableStatus::Copied);
    EXPECT_EQ(status["LATER"], ETableStatus::Stopped);
    EXPECT_EQ(copy.dest.Scalar("SELECT LIST(ID) FROM PARENT"), "1");
    EXPECT_EQ(copy.dest.Scalar("SELECT LIST(P_ID) FROM CHILD"), "1");
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM LATER"), "0");
    std::vector<std::string> recorded;
    EXPECT_FALSE(copy.engine.FailedTables().Find(copy.engine.DestinationKey(), recorded));
    EXPECT_TRUE(copy.engine.FailedTables().Unfinished(copy.engine.DestinationKey()).empty());
}

TEST(CCopyRun, StopDuringTheLastTableIsNoStop)
{
    SCopyFixture copy(TablesDdl({"A", "B"}) + RowsDml({"A", "B"}), TablesDdl({"A", "B"}));
    ASSERT_EQ(copy.prepared, 0);
    CStringGrid tables = TableGrid({"A", "B"});
    SRecorder recorder;
    std::atomic<bool> stop{false};
    recorder.onStarted = [&](int index) {
        if (index == 1)
            stop.store(true);
    };

    const SCopyRunResult result = RunCopyJob({&tables, &copy.engine, ELogging::On, false, {}}, stop, recorder.Events());

    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(result.tablesRun, 2);
}

TEST(CCopyRun, EmptyTableGridCopiesNothing)
{
    SCopyFixture copy(TablesDdl({"A"}) + RowsDml({"A"}), TablesDdl({"A"}));
    ASSERT_EQ(copy.prepared, 0);
    CStringGrid tables = TableGrid({});
    SRecorder recorder;
    const std::atomic<bool> stop{false};

    const SCopyRunResult result = RunCopyJob({&tables, &copy.engine, ELogging::On, false, {}}, stop, recorder.Events());

    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.allCopied);
    EXPECT_EQ(result.failedTables, 0);
    EXPECT_EQ(result.tablesRun, 0);
    EXPECT_TRUE(recorder.started.empty());
    EXPECT_TRUE(recorder.finished.empty());
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM A"), "0");
    EXPECT_FALSE(copy.engine.IsRunActive());
}

TEST(CCopyRun, SecondRunOnTheSameEngineIsRefusedWhileTheFirstRuns)
{
    SCopyFixture copy(TablesDdl({"A", "B"}) + RowsDml({"A", "B"}), TablesDdl({"A", "B"}));
    ASSERT_EQ(copy.prepared, 0);
    CStringGrid first = TableGrid({"A"});
    CStringGrid second = TableGrid({"B"});
    const std::atomic<bool> stop{false};
    SRecorder firstRecorder;
    SRecorder secondRecorder;
    SCopyRunResult secondResult;
    secondResult.started = true;
    // While the first run is inside its table, another thread asks for a run.
    firstRecorder.onStarted = [&](int) {
        std::thread other([&] {
            secondResult = RunCopyJob({&second, &copy.engine, ELogging::On, false, {}}, stop, secondRecorder.Events());
        });
        other.join();
    };

    const SCopyRunResult firstResult =
        RunCopyJob({&first, &copy.engine, ELogging::On, false, {}}, stop, firstRecorder.Events());

    EXPECT_TRUE(firstResult.started);
    EXPECT_TRUE(firstResult.allCopied);
    EXPECT_FALSE(secondResult.started);
    EXPECT_EQ(secondResult.tablesRun, 0);
    EXPECT_TRUE(secondRecorder.started.empty());
    EXPECT_TRUE(secondRecorder.finished.empty());
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM A"), "1");
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM B"), "0");

    // Once the first run has ended, the engine takes the next one.
    const SCopyRunResult later =
        RunCopyJob({&second, &copy.engine, ELogging::On, false, {}}, stop, secondRecorder.Events());
    EXPECT_TRUE(later.started);
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM B"), "1");
}
