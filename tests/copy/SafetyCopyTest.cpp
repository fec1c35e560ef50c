// What a copy must never do to data: write through a view, copy a database
// onto itself, mix old and new rows, switch on triggers the destination keeps
// off, leave generators behind, or claim rows it did not keep.
#include "CopyFixture.h"

#include "copy/plan/CTableList.h"
#include "core/NumberText.h"
#include "support/CrossDatabaseCompare.h"

#include <filesystem>
#include <thread>

namespace
{
using Rows = std::vector<std::vector<std::string>>;

class SafetyCopy : public EmbeddedOrServer
{
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

SDatabaseLogin Login(const CTempDatabase& db)
{
    return {db.Name(), TestUser, TestPassword};
}
} // namespace

TEST_P(SafetyCopy, ViewsAreNeitherListedNorWrittenThrough)
{
    const char* source = "CREATE TABLE T (ID INTEGER); CREATE TABLE V (ID INTEGER); INSERT INTO V VALUES (1);"
                         "CREATE GLOBAL TEMPORARY TABLE G (ID INTEGER); CREATE TABLE G2 (ID INTEGER);";
    auto copy = Make(source, R"(CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (7);
                                CREATE VIEW V (ID) AS SELECT ID FROM T;
                                CREATE TABLE G (ID INTEGER); CREATE GLOBAL TEMPORARY TABLE G2 (ID INTEGER);)");
    std::vector<STableListRow> rows;
    ASSERT_TRUE(BuildTableList(1, Login(copy->source), Login(copy->dest), rows));
    ASSERT_EQ(rows.size(), 1u); // T alone is a table on both sides
    EXPECT_EQ(rows[0].name, "T");
    // Named anyway, the view is refused before anything is written.
    EXPECT_FALSE(copy->Copy("V"));
    EXPECT_TRUE(Contains(copy->RunLog(),
                         Entry("V", "ERROR: Failed to open or table is empty", "it is a view, not a table of its own")))
        << copy->RunLog();
    EXPECT_EQ(copy->dest.Query("SELECT ID FROM T"), (Rows{{"7"}}));
    EXPECT_FALSE(Contains(copy->SqlLog(), "DELETE"));
}

TEST_P(SafetyCopy, TheSameDatabaseUnderAnotherNameIsRefused)
{
    auto copy = Make("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);", "CREATE TABLE T (ID INTEGER);");
    const std::string file = copy->source.Path();
    const std::string folder = copy->source.Folder().Path();
    std::filesystem::create_directory(folder + "sub");
    std::filesystem::create_symlink(file, folder + "link.fdb");
    const std::string prefix = GetParam() ? TestServer().prefix : "";
    // Each name reaches the source's file; none may be taken for another database.
    const std::vector<std::string> names{prefix + folder + "sub/../" + std::filesystem::path(file).filename().string(),
                                         prefix + folder + "link.fdb", GetParam() ? file : TestServer().prefix + file};
    for (const std::string& name : names)
    {
        if (name.rfind("localhost", 0) == 0 && !TestServer().available)
            continue;
        CCopyEngine engine;
        engine.Init(TestUser, TestPassword, 1);
        EXPECT_EQ(engine.PrepareCopy(copy->source.Name(), "", "", name, "", "", false, copy->program.Path(), true), 3)
            << name;
    }
    // A copy of the file is another database.
    std::filesystem::copy_file(file, folder + "copy.fdb");
    CCopyEngine engine;
    engine.Init(TestUser, TestPassword, 1);
    EXPECT_EQ(engine.PrepareCopy(copy->source.Name(), "", "", prefix + folder + "copy.fdb", "", "", false,
                                 copy->program.Path(), true),
              0);
}

TEST_P(SafetyCopy, AFailedEmptyingLeavesTheTableAsItWas)
{
    const char* ddl = R"(CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(10));
                         CREATE TABLE CHILD (ID INTEGER, PARENT_ID INTEGER CONSTRAINT FK_CHILD_PARENT REFERENCES PARENT (ID));)";
    auto copy = Make(std::string(ddl) + "INSERT INTO PARENT VALUES (2, 'new');", ddl);
    copy->dest.Run("INSERT INTO PARENT VALUES (1, 'old'); INSERT INTO CHILD VALUES (5, 1);");
    EXPECT_FALSE(copy->Copy("PARENT"));
    EXPECT_TRUE(Contains(copy->RunLog(), "FK_CHILD_PARENT")) << copy->RunLog();
    EXPECT_EQ(copy->dest.Query("SELECT ID, NAME FROM PARENT"), (Rows{{"1", "old"}}));
    EXPECT_FALSE(Contains(copy->SqlLog(), "INSERT INTO PARENT")) << copy->SqlLog();
}

TEST_P(SafetyCopy, EmptyingNeverDeletesOrChangesRowsOfTablesTheCopyLeavesAlone)
{
    const std::string parent = "CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(10));";
    for (const std::string rule : {"CASCADE", "SET NULL"})
    {
        // NOTE is a table of the destination only.
        auto copy = Make(parent + "INSERT INTO PARENT VALUES (1, 'new');",
                         parent +
                             "CREATE TABLE NOTE (ID INTEGER, PARENT_ID INTEGER CONSTRAINT FK_NOTE_PARENT"
                             " REFERENCES PARENT (ID) ON DELETE " +
                             rule + ");");
        copy->dest.Run("INSERT INTO PARENT VALUES (1, 'old'); INSERT INTO NOTE VALUES (5, 1);"
                       " INSERT INTO NOTE VALUES (6, NULL);");
        EXPECT_FALSE(copy->Copy("PARENT")) << rule;
        EXPECT_TRUE(Contains(copy->RunLog(), "rows of NOTE (foreign key FK_NOTE_PARENT ON DELETE " + rule + ")"))
            << copy->RunLog();
        EXPECT_EQ(copy->dest.Query("SELECT ID, NAME FROM PARENT"), (Rows{{"1", "old"}})) << rule;
        EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM NOTE WHERE PARENT_ID = 1"), "1") << rule;
        // A row whose key is NULL refers to nothing: the copy goes on.
        copy->dest.Run("DELETE FROM NOTE WHERE ID = 5;");
        EXPECT_TRUE(copy->Copy("PARENT")) << copy->RunLog();
        EXPECT_EQ(copy->dest.Query("SELECT ID, NAME FROM PARENT"), (Rows{{"1", "new"}})) << rule;
        EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM NOTE"), "1") << rule;
    }
}

TEST_P(SafetyCopy, OnlyTheTriggersTheCopySwitchedOffComeOnAgain)
{
    const char* ddl = R"(CREATE TABLE T (ID INTEGER, S VARCHAR(10));
                         SET TERM ^ ;
                         CREATE TRIGGER T_ON FOR T BEFORE INSERT AS BEGIN NEW.S = 'on'; END^
                         CREATE TRIGGER T_OFF FOR T BEFORE INSERT POSITION 5 AS BEGIN NEW.S = 'off'; END^
                         SET TERM ; ^)";
    auto copy =
        Make(std::string(ddl) + "INSERT INTO T (ID) VALUES (1);", std::string(ddl) + "ALTER TRIGGER T_OFF INACTIVE;");
    ASSERT_TRUE(copy->Copy("T")) << copy->RunLog() << copy->SqlLog();
    EXPECT_EQ(copy->dest.Query("SELECT RDB$TRIGGER_NAME, RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS"
                               " WHERE RDB$RELATION_NAME = 'T' ORDER BY 1"),
              (Rows{{"T_OFF", "1"}, {"T_ON", "0"}}));
    EXPECT_FALSE(Contains(copy->SqlLog(), "\"T_OFF\"")) << copy->SqlLog();
    EXPECT_TRUE(copy->engine.Journal().Entries().empty());
}

TEST_P(SafetyCopy, NoTriggerGoesOffThatTheJournalCannotRecord)
{
    // A trigger switched off without a record would stay off for good after
    // a crash: with the journal unwritable, no table is touched.
    const std::string ddl = R"(CREATE TABLE T (ID INTEGER, S VARCHAR(10));
        CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY);
        CREATE TABLE C (ID INTEGER, P_ID INTEGER REFERENCES P (ID));
        SET TERM ^ ;
        CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN NEW.S = 'trigger'; END^
        CREATE TRIGGER C_BI FOR C BEFORE INSERT AS BEGIN NEW.ID = NEW.ID + 1000; END^
        SET TERM ; ^)";
    auto copy = Make(ddl + "INSERT INTO T (ID) VALUES (1); INSERT INTO P VALUES (1); INSERT INTO C VALUES (1, 1);",
                     ddl + "INSERT INTO T (ID) VALUES (7); INSERT INTO P VALUES (7); INSERT INTO C VALUES (7, 7);");
    const std::string before = copy->dest.Scalar("SELECT LIST(ID) FROM (SELECT ID FROM T UNION ALL SELECT ID FROM P"
                                                 " UNION ALL SELECT ID FROM C)");
    copy->engine.Journal().SetPath(copy->program.File("no-such-folder/TriggerJournal.txt"));
    EXPECT_FALSE(copy->Copy("T"));
    // A run cannot even mark the destination as its own.
    const SRunRecord run = RunTables(*copy, {"P", "C"});
    EXPECT_FALSE(run.result.started);
    EXPECT_EQ(run.result.journalUnwritable, copy->program.File("no-such-folder/TriggerJournal.txt"));
    EXPECT_TRUE(Contains(copy->RunLog(), "ERROR: The trigger journal could not be written; the triggers stay on and "
                                         "the table is not touched"))
        << copy->RunLog();
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(ID) FROM (SELECT ID FROM T UNION ALL SELECT ID FROM P"
                                " UNION ALL SELECT ID FROM C)"),
              before);
    EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_INACTIVE = 1"), "0");
}

TEST_P(SafetyCopy, ATriggerThatCannotBeSwitchedOffLeavesItsTableUntouched)
{
    // A user who may fill the tables but not alter them: T's triggers would
    // rewrite every row and log the emptying into AUDIT.
    const std::string ddl = R"(CREATE TABLE T (ID INTEGER, S VARCHAR(10)); CREATE TABLE U (ID INTEGER);
        CREATE TABLE AUDIT (NOTE VARCHAR(20));
        SET TERM ^ ;
        CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN NEW.S = 'trigger'; END^
        CREATE TRIGGER T_AD FOR T AFTER DELETE AS BEGIN INSERT INTO AUDIT VALUES ('deleted'); END^
        SET TERM ; ^)";
    auto copy = Make(ddl + "INSERT INTO T VALUES (1, 'one'); INSERT INTO U VALUES (1);",
                     ddl + "INSERT INTO T VALUES (7, 'seven'); GRANT ALL ON T TO RM_LIMITED;"
                           "GRANT ALL ON U TO RM_LIMITED; GRANT ALL ON AUDIT TO RM_LIMITED;");
    if (GetParam())
        copy->dest.Run("CREATE OR ALTER USER RM_LIMITED PASSWORD 'limited';");
    ASSERT_EQ(copy->engine.PrepareCopy(copy->source.Name(), "", "", copy->dest.Name(), "RM_LIMITED", "limited", false,
                                       copy->program.Path(), false),
              0);

    EXPECT_FALSE(copy->Copy("T"));
    EXPECT_EQ(copy->lastOutcome.error, "The triggers could not be switched off; the table is not touched");
    EXPECT_TRUE(Contains(copy->RunLog(), "ERROR: The triggers could not be switched off; the table is not touched"))
        << copy->RunLog();
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(ID || ' ' || S) FROM T"), "7 trigger");
    EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM AUDIT"), "0");
    EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_INACTIVE = 1"), "0");
    EXPECT_EQ(ReadWholeFile(copy->program.File("TriggerJournal.txt")), "");
    // The same user fills a table without triggers.
    EXPECT_TRUE(copy->Copy("U")) << copy->RunLog();
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(ID) FROM U"), "1");
}

TEST_P(SafetyCopy, EachTableCarriesItsOwnGeneratorWhenOneNameStartsAnother)
{
    const char* ddl = R"(CREATE GENERATOR GEN_ORDER; CREATE GENERATOR GEN_ORDER_ITEM;
                         CREATE TABLE ORDERS (ID INTEGER NOT NULL PRIMARY KEY);
                         CREATE TABLE ORDER_ITEM (ID INTEGER NOT NULL PRIMARY KEY);
                         SET TERM ^ ;
                         CREATE TRIGGER ORDERS_BI FOR ORDERS BEFORE INSERT AS
                           BEGIN IF (NEW.ID IS NULL) THEN NEW.ID = GEN_ID(GEN_ORDER, 1); END^
                         CREATE TRIGGER ORDER_ITEM_BI FOR ORDER_ITEM BEFORE INSERT AS
                           BEGIN IF (NEW.ID IS NULL) THEN NEW.ID = GEN_ID(GEN_ORDER_ITEM, 1); END^
                         SET TERM ; ^)";
    auto copy =
        Make(std::string(ddl) + "INSERT INTO ORDERS (ID) VALUES (NULL); INSERT INTO ORDER_ITEM (ID) VALUES (NULL);"
                                "INSERT INTO ORDER_ITEM (ID) VALUES (NULL); SET GENERATOR GEN_ORDER TO 40;",
             ddl);
    ASSERT_TRUE(copy->Copy("ORDER_ITEM")) << copy->RunLog();
    EXPECT_EQ(copy->dest.Scalar("SELECT GEN_ID(GEN_ORDER_ITEM, 0) FROM RDB$DATABASE"), "2");
    EXPECT_EQ(copy->dest.Scalar("SELECT GEN_ID(GEN_ORDER, 0) FROM RDB$DATABASE"), "0");
    copy->dest.Run("INSERT INTO ORDER_ITEM (ID) VALUES (NULL);"); // no key collides
    EXPECT_EQ(copy->dest.Scalar("SELECT MAX(ID) FROM ORDER_ITEM"), "3");
}

TEST_P(SafetyCopy, TablesWhoseNamesDifferOnlyInLetterCaseAreAddressedEachByItsOwn)
{
    auto copy =
        Make(R"(CREATE TABLE "Customer" ("Id" INTEGER, NAME VARCHAR(10)); INSERT INTO "Customer" VALUES (1, 'Ann');)",
             R"(CREATE TABLE CUSTOMER ("Id" INTEGER, NAME VARCHAR(10)); INSERT INTO CUSTOMER VALUES (9, 'old');)");
    std::vector<STableListRow> rows;
    ASSERT_TRUE(BuildTableList(1, Login(copy->source), Login(copy->dest), rows));
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].name, "CUSTOMER");
    ASSERT_TRUE(copy->Copy("CUSTOMER")) << copy->RunLog() << copy->SqlLog();
    EXPECT_EQ(CountMismatchedRows(copy->source, copy->dest, "CUSTOMER", {"Id", "NAME"}, {"\"Id\"", "NAME"}, "Customer"),
              0)
        << "read from the source's \"Customer\"";
    EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM CUSTOMER"), "1");
}

TEST_P(SafetyCopy, ARolledBackTableClaimsNoRowAsInserted)
{
    // The commit is refused: the rows' entries say that they were not added.
    auto copy = Make("CREATE TABLE T (ID INTEGER, V VARCHAR(10)); INSERT INTO T VALUES (1, 'a');"
                     "INSERT INTO T VALUES (2, 'poison');",
                     R"(CREATE TABLE T (ID INTEGER, V VARCHAR(10)); CREATE EXCEPTION E_NO 'no';
                        SET TERM ^ ; CREATE TRIGGER REFUSE ON TRANSACTION COMMIT AS BEGIN
                          IF (EXISTS (SELECT 1 FROM T WHERE V = 'poison')) THEN EXCEPTION E_NO; END^ SET TERM ; ^)");
    EXPECT_FALSE(copy->Copy("T"));
    const std::string log = copy->RunLog();
    EXPECT_FALSE(Contains(log, "Successfully inserted")) << log;
    EXPECT_EQ(CountOf(log, Entry("T", "ERROR: Failed to add", "a")), 1u) << log;
    EXPECT_EQ(CountOf(log, Entry("T", "ERROR: Failed to add", "poison")), 1u) << log;
    // The failed-records report counts the rolled-back rows.
    EXPECT_EQ(copy->Report(), "2 T record(s) could not be copied.\r\n\r\n");
}

TEST_P(SafetyCopy, AnAbortRollsTheTableBackAndSwitchesItsTriggersOn)
{
    const char* ddl = R"(CREATE TABLE T (ID INTEGER, S VARCHAR(20)); CREATE TABLE LATER (ID INTEGER);
                         SET TERM ^ ; CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN END^ SET TERM ; ^)";
    auto copy =
        Make(std::string(ddl) + "INSERT INTO LATER VALUES (1);"
                                "SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 100000) DO BEGIN"
                                " INSERT INTO T VALUES (:I, 'row ' || :I); I = I + 1; END END^ SET TERM ; ^",
             std::string(ddl) + "INSERT INTO LATER VALUES (9); INSERT INTO T VALUES (-1, 'old');");
    copy->engine.EditSettings().maxBatchRows = 1; // slow enough to be caught in the middle
    std::atomic<bool> stop{false};
    std::thread aborter([&] {
        // The abort comes once T's trigger is off (the journal shows it),
        // while its old rows are deleted or its rows are on their way.
        for (int wait = 0; wait < 6000 && copy->engine.Journal().Entries().empty(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        copy->engine.RequestAbort();
    });
    const SRunRecord run = RunTables(*copy, {"T", "LATER"}, {}, &stop);
    aborter.join();
    EXPECT_TRUE(run.result.aborted);
    EXPECT_EQ(run.result.abortedTable, "T");
    EXPECT_EQ(run.finished, (std::vector<std::string>{"T failed"}));
    const std::string log = copy->RunLog();
    EXPECT_TRUE(Contains(log, Entry("T", "Copy aborted by the user")))
        << log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
    EXPECT_FALSE(Contains(log, "Successfully inserted"));
    // The DELETE went back with the rows: the old row is there, and the log says so.
    EXPECT_TRUE(Contains(log, Entry("T", "The table holds the rows it had before this copy"))) << log;
    EXPECT_EQ(copy->dest.Query("SELECT ID, S FROM T"), (std::vector<std::vector<std::string>>{{"-1", "old"}}));
    EXPECT_EQ(copy->dest.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'T_BI'"), "0");
    EXPECT_TRUE(copy->engine.Journal().Entries().empty());
    EXPECT_EQ(copy->dest.Scalar("SELECT ID FROM LATER"), "9"); // the run ended with T
}

TEST_P(SafetyCopy, RowsAnAbortRollsBackAreOneLineAndNoFailedRecords)
{
    const char* ddl = "CREATE TABLE T (ID INTEGER, S VARCHAR(20)); CREATE TABLE LATER (ID INTEGER);"
                      "CREATE TABLE LAST (ID INTEGER);";
    auto copy =
        Make(std::string(ddl) + "INSERT INTO LATER VALUES (1); INSERT INTO LAST VALUES (1);"
                                "SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 100000) DO BEGIN"
                                " INSERT INTO T VALUES (:I, 'row ' || :I); I = I + 1; END END^ SET TERM ; ^",
             std::string(ddl) + "INSERT INTO T VALUES (-1, 'old');");
    copy->engine.EditSettings().maxBatchRows = 1;
    CStringGrid grid;
    grid.SetSize(1, 3);
    grid.SetCell(0, 0, "T");
    grid.SetCell(0, 1, "LATER");
    grid.SetCell(0, 2, "LAST");
    const CCopyJob job{&grid, &copy->engine, ELogging::On, true, {}};
    std::atomic<bool> rowsWritten{false};
    std::vector<double> shares;
    std::vector<STableOutcome> ended;
    SCopyRunEvents events;
    events.progressInterval = std::chrono::milliseconds(0);
    events.tableProgress = [&](int, const SRowProgress& progress) {
        shares.push_back(progress.runShare);
        if (progress.rows >= 50)
            rowsWritten.store(true);
    };
    events.tableEnded = [&](int, const STableOutcome& outcome) { ended.push_back(outcome); };
    std::thread aborter([&] {
        for (int wait = 0; wait < 6000 && !rowsWritten.load(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        copy->engine.RequestAbort();
    });
    const std::atomic<bool> stop{false};
    const SCopyRunResult result = RunCopyJob(job, stop, events);
    aborter.join();

    ASSERT_TRUE(result.aborted);
    EXPECT_EQ(result.failedTables, 0); // the user ended it; nothing failed
    EXPECT_EQ(result.notStartedTables, (std::vector<std::string>{"LATER", "LAST"}));
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].status, ETableStatus::Stopped);
    EXPECT_GE(ended[0].rowsRolledBack, 50);
    EXPECT_EQ(ended[0].rowsFailed, 0);
    EXPECT_EQ(result.rowsRolledBack, ended[0].rowsRolledBack);
    // The bar stays where the abort found it.
    ASSERT_FALSE(shares.empty());
    EXPECT_LT(shares.back(), 1.0);

    const std::string log = copy->RunLog();
    EXPECT_FALSE(Contains(log, "ERROR: Failed to add")) << log.substr(0, 2000);
    EXPECT_FALSE(Contains(log, "WARNING: Copy failed")) << log.substr(0, 2000);
    const std::string rolledBack = GroupedNumber(ended[0].rowsRolledBack) + " rows rolled back: aborted by the user";
    EXPECT_EQ(CountOf(log, Entry("T", rolledBack)), 1u) << log.substr(0, 2000);
    EXPECT_TRUE(
        Contains(log, Entry("T", "Copy aborted by the user in this table; not started: 2 table(s)", "LATER, LAST")))
        << log.substr(0, 2000);
    // Nothing for the failed-records report: no record failed.
    EXPECT_FALSE(Contains(copy->Report(), "could not be copied")) << copy->Report();
    EXPECT_EQ(copy->dest.Query("SELECT ID, S FROM T"), (Rows{{"-1", "old"}}));

    // The log ends with the run's summary.
    WriteRunSummary(copy->engine, result, "/kept/dest.fdb");
    const std::string summarized = copy->RunLog();
    const std::string runPrefix = Entry("", "").substr(0, 24);
    EXPECT_NE(
        summarized.find(runPrefix + " Run summary: 0 table(s) copied, 0 failed, 2 not started; 0 rows copied; 00:00:",
                        log.size()),
        std::string::npos)
        << summarized.substr(log.size());
    EXPECT_TRUE(Contains(summarized.substr(log.size()), "; aborted by the user in table T ()\r\n\r\n"));
    EXPECT_TRUE(summarized.ends_with(
        Entry("", "The destination database as it was before the copy is kept", "/kept/dest.fdb")));
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, SafetyCopy, ::testing::Values(false, true), PathName);
