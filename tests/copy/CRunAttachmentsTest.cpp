#include "copy/run/CRunAttachments.h"

#include "CopyFixture.h"
#include "copy/check/CopyCheck.h"
#include "copy/verify/CopyCompare.h"

namespace
{
// Each source table shows the attachment that reads it: its CONN column is
// computed from CURRENT_CONNECTION, and the destination stores what was read.
std::string SourceTables(const std::vector<std::string>& names)
{
    std::string ddl;
    for (const std::string& name : names)
        ddl += "CREATE TABLE " + name + " (ID INTEGER NOT NULL PRIMARY KEY, CONN COMPUTED BY (CURRENT_CONNECTION));" +
               "INSERT INTO " + name + " (ID) VALUES (1); INSERT INTO " + name + " (ID) VALUES (2);";
    return ddl;
}

std::string DestTables(const std::vector<std::string>& names, const std::string& refusing = "")
{
    std::string ddl;
    for (const std::string& name : names)
        ddl += "CREATE TABLE " + name + " (ID INTEGER NOT NULL PRIMARY KEY, CONN BIGINT" +
               (name == refusing ? ", CHECK (ID < 2)" : "") + ");";
    return ddl;
}

// The attachment that read each table, in the order given.
std::vector<std::string> ReadBy(SCopyFixture& copy, const std::vector<std::string>& names)
{
    std::vector<std::string> connections;
    for (const std::string& name : names)
        connections.push_back(copy.dest.Scalar("SELECT MIN(CONN) FROM " + name));
    return connections;
}

class RunAttachments : public EmbeddedOrServer
{
};

// A run reads all its tables through one source attachment, and writes
// them all as before.
TEST_P(RunAttachments, OneAttachmentServesEveryTableOfARun)
{
    const std::vector<std::string> tables = {"A", "B", "C", "D"};
    auto copy = Make(SourceTables(tables), DestTables(tables));
    const SRunRecord run = RunTables(*copy, tables);
    EXPECT_TRUE(run.result.allCopied);
    EXPECT_EQ(run.finished, (std::vector<std::string>{"A ok", "B ok", "C ok", "D ok"}));
    const std::vector<std::string> readers = ReadBy(*copy, tables);
    EXPECT_EQ(readers, std::vector<std::string>(tables.size(), readers[0]));
    for (const std::string& table : tables)
    {
        EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM " + table), "2") << table;
        EXPECT_EQ(CountOf(copy->RunLog(), Entry(table, "Copy finished successfully")), 1u) << table;
    }
    // The run lets go of its attachments: the destination can be dropped.
    EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION"
                                " AND MON$SYSTEM_FLAG = 0"),
              "0");
}

// A table that fails keeps its failure: the tables after it start on fresh
// attachments, and copy as they would alone.
TEST_P(RunAttachments, TablesAfterAFailedOneAttachAnew)
{
    const std::vector<std::string> tables = {"A", "BAD", "C", "D"};
    auto copy = Make(SourceTables(tables), DestTables(tables, "BAD"));
    const SRunRecord run = RunTables(*copy, tables);
    EXPECT_FALSE(run.result.allCopied);
    EXPECT_EQ(run.finished, (std::vector<std::string>{"A ok", "BAD failed", "C ok", "D ok"}));
    const std::vector<std::string> readers = ReadBy(*copy, tables);
    EXPECT_EQ(readers[0], readers[1]);
    EXPECT_NE(readers[1], readers[2]);
    EXPECT_EQ(readers[2], readers[3]);
    // The refused row failed alone; the other one arrived.
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(ID) FROM BAD"), "1");
    const std::string log = copy->RunLog();
    EXPECT_EQ(CountOf(log, Entry("BAD", "WARNING: Copy failed")), 1u);
    for (const char* table : {"A", "C", "D"})
        EXPECT_EQ(copy->dest.Scalar(std::string("SELECT COUNT(*) FROM ") + table), "2") << table;
}

// Tables copied one by one outside a run attach for themselves, as before.
TEST_P(RunAttachments, TablesCopiedAloneAttachForThemselves)
{
    const std::vector<std::string> tables = {"A", "B"};
    auto copy = Make(SourceTables(tables), DestTables(tables));
    ASSERT_TRUE(copy->Copy("A"));
    ASSERT_TRUE(copy->Copy("B"));
    const std::vector<std::string> readers = ReadBy(*copy, tables);
    EXPECT_NE(readers[0], readers[1]);
}

// A run that meets a table missing on one side reports it and goes on with
// the next one: the tables each database has are read once, and spellings
// still resolve.
TEST_P(RunAttachments, MissingAndDifferentlySpelledTablesInOneRun)
{
    // The destination's "customer" could be either of the source's two
    // tables: none is taken, by the copy, the check or the comparison.
    auto copy = Make("CREATE TABLE \"Mixed\" (ID INTEGER); INSERT INTO \"Mixed\" VALUES (5);"
                     "CREATE TABLE ONLYSOURCE (ID INTEGER); INSERT INTO ONLYSOURCE VALUES (6);"
                     "CREATE TABLE LAST (ID INTEGER); INSERT INTO LAST VALUES (7);"
                     "CREATE TABLE CUSTOMER (ID INTEGER); INSERT INTO CUSTOMER VALUES (1);"
                     "CREATE TABLE \"Customer\" (ID INTEGER); INSERT INTO \"Customer\" VALUES (2);",
                     "CREATE TABLE MIXED (ID INTEGER); CREATE TABLE LAST (ID INTEGER);"
                     "CREATE TABLE \"customer\" (ID INTEGER); INSERT INTO \"customer\" VALUES (9);");
    const SRunRecord run = RunTables(*copy, {"MIXED", "ONLYSOURCE", "LAST", "customer"});
    EXPECT_EQ(run.finished, (std::vector<std::string>{"MIXED ok", "ONLYSOURCE failed", "LAST ok", "customer failed"}));
    EXPECT_EQ(copy->dest.Scalar("SELECT ID FROM MIXED"), "5");
    EXPECT_EQ(copy->dest.Scalar("SELECT ID FROM LAST"), "7");
    EXPECT_EQ(copy->dest.Scalar("SELECT ID FROM \"customer\""), "9");
    EXPECT_EQ(CountOf(copy->RunLog(), Entry("ONLYSOURCE", "ERROR: Failed to open or table is empty",
                                            "the destination has no such table")),
              1u);
    const std::string ambiguous = "the source has several tables named customer letter case aside (CUSTOMER, "
                                  "Customer), and none spelled exactly so";
    EXPECT_NE(copy->RunLog().find(ambiguous), std::string::npos) << copy->RunLog();
    const SCheckReport check = CheckCopy(copy->engine.Settings(), {"customer"});
    ASSERT_EQ(check.tables.size(), 1u);
    ASSERT_EQ(check.tables[0].findings.size(), 1u);
    EXPECT_EQ(check.tables[0].findings[0].detail, ambiguous);
    const SCompareReport compare = CompareTables(copy->engine.Settings(), {"customer"});
    ASSERT_EQ(compare.tables.size(), 1u);
    EXPECT_FALSE(compare.tables[0].result.ran);
    EXPECT_EQ(compare.tables[0].result.error, ambiguous);
}

// An attachment that the server dropped between two tables (an
// administrator, a restart) is let go of, and the next table attaches anew.
TEST_P(RunAttachments, AnAttachmentTheServerDroppedIsReplaced)
{
    const std::vector<std::string> tables = {"A", "B", "C"};
    auto copy = Make(SourceTables(tables), DestTables(tables));
    const SRunRecord run = RunTables(*copy, tables, [&](const std::string& table) {
        if (table != "B")
            return;
        const char* others =
            "DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0";
        copy->source.Run(others);
        copy->dest.Run(others);
    });
    EXPECT_TRUE(run.result.allCopied) << copy->RunLog();
    EXPECT_EQ(run.finished, (std::vector<std::string>{"A ok", "B ok", "C ok"}));
    const std::vector<std::string> readers = ReadBy(*copy, tables);
    EXPECT_NE(readers[0], readers[1]);
    EXPECT_EQ(readers[1], readers[2]);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, RunAttachments, ::testing::Values(false, true), PathName);
} // namespace
