#include "CopyFixture.h"

namespace
{
const char* const CustomerSource = R"(
CREATE TABLE CUSTOMER (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), CITY VARCHAR(30), SCORE INTEGER);
INSERT INTO CUSTOMER VALUES (1, 'O''Brien', 'Cork', 10);
INSERT INTO CUSTOMER VALUES (2, NULL, 'Graz', NULL);
INSERT INTO CUSTOMER VALUES (3, '  spaced  ', NULL, -4);
)";
} // namespace

TEST(CCopyEngine, FirstRunLogEntryHasTheExactBytes)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER);", "CREATE TABLE T (ID INTEGER);");
    ASSERT_EQ(copy.prepared, 0);
    EXPECT_TRUE(copy.Copy("T"));
    const std::string expected = "<TBL_T" + std::string(17, ' ') + "> Starting copy process... ()\r\n\r\n";
    EXPECT_EQ(copy.RunLog().substr(0, expected.size()), expected);
}

TEST(CCopyEngine, ValuesArriveExactlyWithColumnsMatchedByName)
{
    // The destination reorders the columns, lacks CITY and adds NOTE and AMOUNT.
    SCopyFixture copy(CustomerSource, "CREATE TABLE CUSTOMER (NOTE VARCHAR(10) NOT NULL, SCORE INTEGER,"
                                      " NAME VARCHAR(40), ID INTEGER NOT NULL, AMOUNT NUMERIC(9,2) NOT NULL);");
    ASSERT_EQ(copy.prepared, 0);
    EXPECT_TRUE(copy.Copy("CUSTOMER")) << copy.RunLog();
    const auto rows = copy.dest.Query("SELECT ID, NAME, SCORE, NOTE, AMOUNT FROM CUSTOMER ORDER BY ID");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "O'Brien", "10", "", "0.00"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"2", "<null>", "<null>", "", "0.00"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"3", "  spaced  ", "-4", "", "0.00"}));
}

TEST(CCopyEngine, LogsShowEveryStatementAndRow)
{
    SCopyFixture copy(CustomerSource, "CREATE TABLE CUSTOMER (ID INTEGER, NAME VARCHAR(40), NOTE VARCHAR(5));");
    ASSERT_TRUE(copy.Copy("CUSTOMER"));
    EXPECT_EQ(copy.RunLog(),
              Entry("CUSTOMER", "Starting copy process...") + Entry("CUSTOMER", "Successfully inserted", "O'Brien") +
                  Entry("CUSTOMER", "Successfully inserted", "") +
                  Entry("CUSTOMER", "Successfully inserted", "  spaced  ") +
                  Entry("CUSTOMER", "Verified: 3 rows identical") + Entry("CUSTOMER", "Copy finished successfully"));
    EXPECT_EQ(copy.SqlLog(), "\r\n\r\n/* CUSTOMER*/\r\n\r\n"
                             "\r\n/* SELECT * FROM CUSTOMER ORDER BY ID */\r\n\r\n"
                             "DELETE FROM CUSTOMER;\r\n"
                             "INSERT INTO CUSTOMER (ID,NAME,NOTE) VALUES (1,'O''Brien','');\r\n"
                             "INSERT INTO CUSTOMER (ID,NAME,NOTE) VALUES (2,NULL,'');\r\n"
                             "INSERT INTO CUSTOMER (ID,NAME,NOTE) VALUES (3,'  spaced  ','');\r\n");
    EXPECT_EQ(copy.TextLog(), "\r\n\r\n/* CUSTOMER*/\r\n\r\n"
                              "\r\n/* SELECT * FROM CUSTOMER ORDER BY ID */\r\n\r\n"
                              "1;O'Brien;Cork;10\r\n2;;Graz;\r\n3;  spaced  ;;-4\r\n");
    EXPECT_EQ(copy.Report(), "");
}

TEST(CCopyEngine, EmptySourceLeavesTheDestinationAlone)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER);", "CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (5);");
    EXPECT_TRUE(copy.Copy("T"));
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM T"), "1");
    EXPECT_NE(copy.RunLog().find(Entry("T", "Table is empty")), std::string::npos);
    EXPECT_EQ(copy.SqlLog().find("DELETE"), std::string::npos);
}

TEST(CCopyEngine, DestinationWithoutTheFirstSourceColumnTakesTheOthers)
{
    // The source is still read in the order of its first column.
    SCopyFixture copy("CREATE TABLE T (ID INTEGER, NAME VARCHAR(5)); INSERT INTO T VALUES (2, 'b');"
                      "INSERT INTO T VALUES (1, 'a');",
                      "CREATE TABLE T (NAME VARCHAR(5)); INSERT INTO T VALUES ('old');");
    EXPECT_TRUE(copy.Copy("T")) << copy.RunLog();
    EXPECT_EQ(copy.dest.Query("SELECT NAME FROM T"), (std::vector<std::vector<std::string>>{{"a"}, {"b"}}));
    EXPECT_NE(copy.SqlLog().find("INSERT INTO T (NAME) VALUES ('a');\r\nINSERT INTO T (NAME) VALUES ('b');"),
              std::string::npos);
}

TEST(CCopyEngine, MissingDestinationTableFailsWithoutChanges)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);", "CREATE TABLE OTHER (ID INTEGER);");
    EXPECT_FALSE(copy.Copy("T"));
    // The reason goes with the message.
    EXPECT_NE(
        copy.RunLog().find(Entry("T", "ERROR: Failed to open or table is empty", "the destination has no such table")),
        std::string::npos)
        << copy.RunLog();
}

TEST(CCopyEngine, TwoFailingRowsOfTenFailAloneAndAreReported)
{
    std::string source = "CREATE TABLE CUSTOMER (ID INTEGER, NAME VARCHAR(20));";
    for (int i = 1; i <= 10; ++i)
        source += "INSERT INTO CUSTOMER VALUES (" + std::to_string(i) + ", '" +
                  (i == 4 || i == 9 ? "much too long" : "ok") + "');";
    SCopyFixture copy(source, "CREATE TABLE CUSTOMER (ID INTEGER, NAME VARCHAR(5));");
    EXPECT_FALSE(copy.Copy("CUSTOMER"));
    const std::string log = copy.RunLog();
    EXPECT_EQ(CountOf(log, Entry("CUSTOMER", "ERROR: Failed to add", "much too long")), 2u);
    EXPECT_EQ(CountOf(log, Entry("CUSTOMER", "Successfully inserted", "ok")), 8u);
    EXPECT_NE(log.find(Entry("CUSTOMER", "WARNING: Copy failed")), std::string::npos);
    EXPECT_EQ(copy.Report(), "2 CUSTOMER record(s) could not be copied.\r\n\r\n");
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM CUSTOMER"), "8");
    // The server's reason follows the failed statement in the SQL log.
    const std::string sql = copy.SqlLog();
    const size_t failed = sql.find("VALUES (4,'much too long');\r\n");
    ASSERT_NE(failed, std::string::npos);
    EXPECT_EQ(sql.compare(failed + 29, 3, "/* "), 0) << sql.substr(failed, 200);
    EXPECT_NE(sql.find("string truncation", failed), std::string::npos);
}

TEST(CCopyEngine, LoggingOffWritesOnlyTheReport)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER, S VARCHAR(9)); INSERT INTO T VALUES (1, 'too long!');",
                      "CREATE TABLE T (ID INTEGER, S VARCHAR(2));");
    EXPECT_FALSE(copy.Copy("T", ELogging::Off));
    EXPECT_FALSE(FileExists(copy.engine.Settings().files.runLog));
    EXPECT_FALSE(FileExists(copy.engine.Settings().files.sqlLog));
    EXPECT_FALSE(FileExists(copy.engine.Settings().files.textLog));
    EXPECT_EQ(copy.Report(), "1 T record(s) could not be copied.\r\n\r\n");
}

TEST(CCopyEngine, UnattachableDatabasesAreLogged)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);", "CREATE TABLE T (ID INTEGER);");
    SRunSettings settings = copy.engine.Settings();
    settings.dest.database = copy.program.File("missing.fdb");
    copy.engine.Configure(settings);
    EXPECT_FALSE(copy.Copy("T"));
    EXPECT_NE(
        copy.RunLog().find(Entry("T", "ERROR: Cannot open destination database", copy.engine.Settings().dest.database)),
        std::string::npos);
    settings.source.database = copy.program.File("gone.fdb");
    copy.engine.Configure(settings);
    EXPECT_FALSE(copy.Copy("T"));
    EXPECT_NE(
        copy.RunLog().find(Entry("T", "ERROR: Cannot open source database", copy.engine.Settings().source.database)),
        std::string::npos);
    settings.source.database.clear();
    copy.engine.Configure(settings);
    const std::string before = copy.RunLog();
    EXPECT_FALSE(copy.Copy("T"));
    EXPECT_EQ(copy.RunLog(), before);
}

TEST(CCopyEngine, OddTableAndColumnNamesAreQuoted)
{
    const char* ddl = R"(CREATE TABLE "USER" ("ID" INTEGER, "Mixed Case" VARCHAR(10), "DATE" DATE);
                         CREATE TABLE "Order's" (N INTEGER);)";
    SCopyFixture copy(ddl, ddl);
    copy.source.Run(R"(INSERT INTO "USER" VALUES (1, 'x', '2020-02-29'); INSERT INTO "Order's" VALUES (3);)");
    EXPECT_TRUE(copy.Copy("USER")) << copy.RunLog() << copy.SqlLog();
    EXPECT_TRUE(copy.Copy("Order's")) << copy.RunLog() << copy.SqlLog();
    EXPECT_EQ(copy.dest.Query(R"(SELECT "Mixed Case", "DATE" FROM "USER")"),
              (std::vector<std::vector<std::string>>{{"x", "2020-02-29"}}));
    EXPECT_EQ(copy.dest.Scalar(R"(SELECT N FROM "Order's")"), "3");
    EXPECT_NE(copy.SqlLog().find(R"(INSERT INTO "USER" (ID,"Mixed Case","DATE") VALUES (1,'x','2020-02-29');)"),
              std::string::npos);
}

TEST(CCopyEngine, NewBooleanColumnReceivesFalse)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);",
                      "CREATE TABLE T (ID INTEGER, SHIPPED BOOLEAN NOT NULL);");
    EXPECT_TRUE(copy.Copy("T")) << copy.SqlLog();
    EXPECT_EQ(copy.dest.Scalar("SELECT SHIPPED FROM T"), "FALSE");
    EXPECT_NE(copy.SqlLog().find("INSERT INTO T (ID,SHIPPED) VALUES (1,FALSE);"), std::string::npos);
}

TEST(CCopyEngine, BatchesGiveTheSameRowsAndLogsAsOneRowAtATime)
{
    // Rows 1, 5 and 10 of a batch of ten fail; NULLs and BLOBs sit between them.
    std::string source = "CREATE TABLE T (ID INTEGER, S VARCHAR(12), B BLOB SUB_TYPE TEXT, N INTEGER);";
    for (int i = 1; i <= 10; ++i)
    {
        const bool bad = i == 1 || i == 5 || i == 10;
        source += "INSERT INTO T VALUES (" + std::to_string(i) + ", '" + (bad ? "far too long" : "row") + "', " +
                  (i % 2 ? "NULL" : "'blob " + std::to_string(i) + "'") + ", " + (i % 3 ? "NULL" : "7") + ");";
    }
    const char* dest = "CREATE TABLE T (ID INTEGER, S VARCHAR(5), B BLOB SUB_TYPE TEXT, N INTEGER);";
    SCopyFixture batched(source, dest);
    SCopyFixture single(source, dest);
    single.engine.EditSettings().maxBatchRows = 1;
    EXPECT_FALSE(batched.Copy("T"));
    EXPECT_FALSE(single.Copy("T"));
    EXPECT_EQ(batched.RunLog(), single.RunLog());
    EXPECT_EQ(batched.SqlLog(), single.SqlLog());
    EXPECT_EQ(batched.TextLog(), single.TextLog());
    EXPECT_EQ(batched.Report(), "3 T record(s) could not be copied.\r\n\r\n");
    const char* rows = "SELECT ID, S, B, N FROM T ORDER BY ID";
    EXPECT_EQ(batched.dest.Query(rows), single.dest.Query(rows));
    EXPECT_EQ(batched.dest.Scalar("SELECT COUNT(*) FROM T"), "7");
    EXPECT_EQ(CountOf(batched.RunLog(), "ERROR: Failed to add"), 3u);
}

namespace
{
// 3,000 rows, more than the reader hands over at once and many batches: texts
// of changing length, NULLs and BLOBs that come and go from row to row, and
// every 97th row too long for the destination.
const char* const ManyRowsSource = R"(
CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(300), B BLOB SUB_TYPE TEXT, N INTEGER);
SET TERM ^;
EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN
  WHILE (I <= 3000) DO BEGIN
    INSERT INTO T VALUES (:I,
      IIF(MOD(:I, 7) = 0, NULL, IIF(MOD(:I, 97) = 0, LPAD('', 260, 'x'), LPAD('', MOD(:I * 31, 200), 'é') || :I)),
      IIF(MOD(:I, 3) = 0, NULL, 'blob ' || :I || LPAD('', MOD(:I, 50), '-')),
      IIF(MOD(:I, 5) = 0, NULL, :I * 11));
    I = I + 1;
  END
END^
SET TERM ;^
)";

class ManyRows : public ::testing::TestWithParam<bool>
{
};
} // namespace

TEST_P(ManyRows, EveryRowArrivesWithItsOwnValuesAndLogLines)
{
    const bool viaServer = GetParam();
    if (viaServer)
        REQUIRE_TEST_SERVER();
    SCopyFixture copy(
        ManyRowsSource,
        "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(250), B BLOB SUB_TYPE TEXT, N INTEGER);",
        CTempDatabase::SOptions{"UTF8", viaServer, "s.fdb"}, CTempDatabase::SOptions{"UTF8", viaServer, "d.fdb"});
    ASSERT_EQ(copy.prepared, 0);
    EXPECT_FALSE(copy.Copy("T"));
    const char* rows = "SELECT ID, S, B, N FROM T ORDER BY ID";
    auto expected = copy.source.Query(rows);
    std::erase_if(expected, [](const auto& row) { return std::stoi(row[0]) % 97 == 0 && std::stoi(row[0]) % 7 != 0; });
    EXPECT_TRUE(copy.dest.Query(rows) == expected);
    const size_t failed = 3000 / 97 - 3000 / (97 * 7);
    EXPECT_EQ(copy.Report(), std::to_string(failed) + " T record(s) could not be copied.\r\n\r\n");
    const std::string runLog = copy.RunLog();
    EXPECT_EQ(CountOf(runLog, "ERROR: Failed to add"), failed);
    EXPECT_EQ(CountOf(runLog, "Successfully inserted"), 3000 - failed);
    // Each row's own entries, in the order of the rows.
    const std::string sqlLog = copy.SqlLog();
    size_t at = 0;
    for (int id : {1, 2, 7, 97, 1500, 2999, 3000})
    {
        const std::string start = "INSERT INTO T (ID,S,B,N) VALUES (" + std::to_string(id) + ",";
        const size_t found = sqlLog.find(start, at);
        ASSERT_NE(found, std::string::npos) << id;
        at = found + start.size();
    }
    // Values longer than 256 bytes are shown by their first 64 bytes, length and CRC-32.
    EXPECT_NE(runLog.find(Entry("T", "ERROR: Failed to add", std::string(64, 'x') + "/* 260 bytes, crc32 244cebaa */")),
              std::string::npos);
    std::string shortened;
    for (int i = 0; i < 32; ++i)
        shortened += "é";
    EXPECT_NE(copy.TextLog().find("\r\n2999;" + shortened + "/* 342 bytes, crc32 757b0e3a */;blob 2999"),
              std::string::npos);
    EXPECT_NE(copy.TextLog().find("\r\n2990;" + copy.source.Scalar("SELECT S FROM T WHERE ID = 2990") + ";blob 2990"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, ManyRows, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });
