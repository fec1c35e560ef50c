// The proof after a copy that every value arrived: the verification of each
// copied table, and the comparison of two databases on its own.
#include "CopyFixture.h"

#include "copy/verify/CopyCompare.h"

namespace
{
class Verification : public EmbeddedOrServer
{
};

const char* const Ddl = "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20), NOTE VARCHAR(20),"
                        " DOC BLOB SUB_TYPE BINARY, AMOUNT DOUBLE PRECISION);";
const char* const Rows = R"(
INSERT INTO T VALUES (1, 'a', NULL, x'0102', 0.1);
INSERT INTO T VALUES (2, 'b', 'x', x'0304', 1e300);
INSERT INTO T VALUES (3, 'c', 'y', NULL, -2.5);
INSERT INTO T VALUES (4, 'd', 'z', x'0506070809', 3);
INSERT INTO T VALUES (5, 'e', '', x'', 0);
)";

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
} // namespace

TEST_P(Verification, ACopyIsProvedAndEveryKindOfDifferenceIsFound)
{
    auto copy = Make(std::string(Ddl) + Rows, Ddl);
    ASSERT_TRUE(copy->Copy("T")) << copy->RunLog();
    EXPECT_TRUE(Contains(copy->RunLog(), Entry("T", "Verified: 5 rows identical")));
    SCompareReport report = CompareTables(copy->engine.Settings(), {"T"});
    ASSERT_TRUE(report.Identical()) << CompareReportText(report);

    // Each alteration of the destination is one kind of difference.
    copy->dest.Run(R"(UPDATE T SET NAME = 'changed' WHERE ID = 2;
                      UPDATE T SET NOTE = '' WHERE ID = 1;
                      UPDATE T SET DOC = SUBSTRING(DOC FROM 1 FOR 3) WHERE ID = 4;
                      DELETE FROM T WHERE ID = 3;
                      INSERT INTO T VALUES (9, 'extra', NULL, NULL, NULL);
                      UPDATE T SET AMOUNT = 0.1 + 1e-16 WHERE ID = 1;)");
    report = CompareTables(copy->engine.Settings(), {"T"});
    ASSERT_TRUE(report.compared) << report.error;
    const STableVerification& result = report.tables.at(0).result;
    EXPECT_EQ(result.identical, 1); // ID 5
    EXPECT_EQ(result.differing, 3);
    EXPECT_EQ(result.missing, 1);
    EXPECT_EQ(result.extra, 1);
    const std::string text = CompareReportText(report);
    for (const char* line :
         {"T: ERROR: Verification found 5 differences (1 rows identical, 3 differing, 1 missing, 1 extra)",
          "T: Difference (ID=1, NOTE: NULL in the source, '' in the destination)",
          "T: Difference (ID=2, NAME: 'b' in the source, 'changed' in the destination)",
          "T: Difference (ID=4, DOC: x'0506070809' in the source, x'050607' in the destination)",
          "T: Missing in the destination (ID=3)", "T: Extra in the destination (ID=9)"})
        EXPECT_TRUE(Contains(text, line)) << line << "\n" << text;
}

TEST_P(Verification, RowsThatFailedToInsertAreTheMissingOnes)
{
    // The new design refuses the long name and the negative amount.
    auto copy = Make(std::string(Ddl) + Rows + "INSERT INTO T VALUES (6, 'much too long a name', 'n', NULL, 1);",
                     "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(10), NOTE VARCHAR(20),"
                     " DOC BLOB SUB_TYPE BINARY, AMOUNT DOUBLE PRECISION CHECK (AMOUNT >= 0));");
    EXPECT_FALSE(copy->Copy("T"));
    const std::string log = copy->RunLog();
    EXPECT_TRUE(Contains(log, Entry("T", "ERROR: Verification found 2 differences",
                                    "4 rows identical, 0 differing, 2 missing, 0 extra; 2 rows failed to insert and "
                                    "are among the missing")))
        << log;
    EXPECT_TRUE(Contains(log, Entry("T", "Missing in the destination", "ID=3"))) << log;
    EXPECT_TRUE(
        Contains(log, Entry("T", "Missing in the destination", "1 rows whose values the destination's types refuse")))
        << log;
}

TEST_P(Verification, TurnedOffTheCopyReadsNothingBack)
{
    auto copy = Make(std::string(Ddl) + Rows, Ddl);
    copy->engine.EditSettings().verify = false;
    ASSERT_TRUE(copy->Copy("T"));
    EXPECT_FALSE(Contains(copy->RunLog(), "Verified"));
}

// Whatever orders the rows, a key that is its own compared column or one
// read through a cast, each copy is proved and one changed value is found.
TEST_P(Verification, EveryKindOfKeyOrdersBothSidesAlike)
{
    const struct
    {
        const char* sourceDdl;
        const char* destDdl;
        const char* change;
    } cases[] = {
        {"CREATE TABLE K (ID INTEGER NOT NULL PRIMARY KEY, V VARCHAR(10));",
         "CREATE TABLE K (ID INTEGER NOT NULL PRIMARY KEY, V VARCHAR(10));", "UPDATE K SET V = 'x' WHERE ID = 20"},
        {"CREATE TABLE K (ID SMALLINT NOT NULL PRIMARY KEY, V VARCHAR(10));",
         "CREATE TABLE K (ID BIGINT NOT NULL PRIMARY KEY, V VARCHAR(20));", "UPDATE K SET V = 'x' WHERE ID = 20"},
        {"CREATE TABLE K (ID VARCHAR(8) NOT NULL PRIMARY KEY, V INTEGER);",
         "CREATE TABLE K (ID VARCHAR(8) NOT NULL PRIMARY KEY, V INTEGER);", "UPDATE K SET V = 0 WHERE ID = '20'"},
        {"CREATE TABLE K (ID INTEGER NOT NULL, V VARCHAR(10) NOT NULL, PRIMARY KEY (V, ID));",
         "CREATE TABLE K (ID INTEGER NOT NULL, V VARCHAR(10) NOT NULL, W INTEGER, PRIMARY KEY (V, ID));",
         "DELETE FROM K WHERE ID = 20"},
        // CHAR padding is not copied into a VARCHAR, and not asked for there
        {"CREATE TABLE K (ID CHAR(8) NOT NULL PRIMARY KEY, V CHAR(10));",
         "CREATE TABLE K (ID VARCHAR(8) NOT NULL PRIMARY KEY, V VARCHAR(5));", "UPDATE K SET V = '6 ' WHERE ID = '20'"},
        // Without a key, rows alike but for their BLOBs meet by the BLOBs' contents, whatever order they were stored in
        {"CREATE TABLE K (ID INTEGER, V VARCHAR(10), B BLOB SUB_TYPE TEXT);\nSET TERM ^ ;\n"
         "CREATE TRIGGER K_B FOR K BEFORE INSERT AS BEGIN NEW.B = 'b' || NEW.ID; END^\nSET TERM ; ^",
         "CREATE TABLE K (V VARCHAR(10), B BLOB SUB_TYPE TEXT);", "DELETE FROM K WHERE B = 'b20'"},
        // ... also when the new design stores them in another character set
        {"CREATE TABLE K (ID INTEGER, V VARCHAR(10), B BLOB SUB_TYPE TEXT CHARACTER SET WIN1252);\nSET TERM ^ ;\n"
         "CREATE TRIGGER K_B FOR K BEFORE INSERT AS BEGIN NEW.B = 'é' || NEW.ID; END^\nSET TERM ; ^",
         "CREATE TABLE K (V VARCHAR(10), B BLOB SUB_TYPE TEXT CHARACTER SET UTF8);",
         "DELETE FROM K WHERE B = 'é' || '20'"},
    };
    const std::string rows = "SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 30; BEGIN WHILE (i > 0) DO BEGIN "
                             "INSERT INTO K (ID, V) VALUES (:i, MOD(:i, 7)); i = i - 1; END END^\nSET TERM ; ^\n";
    for (const auto& test : cases)
    {
        auto copy = Make(std::string(test.sourceDdl) + "\n" + rows, test.destDdl);
        ASSERT_TRUE(copy->Copy("K")) << test.destDdl << "\n" << copy->RunLog();
        EXPECT_TRUE(Contains(copy->RunLog(), Entry("K", "Verified: 30 rows identical"))) << test.destDdl;
        copy->dest.Run(std::string(test.change) + ";");
        const SCompareReport report = CompareTables(copy->engine.Settings(), {"K"});
        ASSERT_TRUE(report.compared) << report.error;
        const STableVerification& result = report.tables.at(0).result;
        EXPECT_EQ(result.identical, 29) << test.destDdl << "\n" << CompareReportText(report);
        EXPECT_EQ(result.Differences(), 1) << test.destDdl << "\n" << CompareReportText(report);
    }
}

TEST_P(Verification, ATimeCopiedIntoATimestampIsComparedByItsTimeOfDay)
{
    auto copy = Make("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, AT_TIME TIME);"
                     "INSERT INTO T VALUES (1, '10:00:00.5'); INSERT INTO T VALUES (2, NULL);",
                     "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, AT_TIME TIMESTAMP);");
    ASSERT_TRUE(copy->Copy("T")) << copy->RunLog();
    // As if copied the day before: the date was the copy's own.
    copy->dest.Run("UPDATE T SET AT_TIME = AT_TIME - 1;");
    SCompareReport report = CompareTables(copy->engine.Settings(), {"T"});
    ASSERT_TRUE(report.compared) << report.error;
    EXPECT_TRUE(report.tables.at(0).result.Identical()) << CompareReportText(report);
    copy->dest.Run("UPDATE T SET AT_TIME = AT_TIME + 1e0 / 24;");
    report = CompareTables(copy->engine.Settings(), {"T"});
    EXPECT_EQ(report.tables.at(0).result.differing, 1) << CompareReportText(report);
}

TEST_P(Verification, AComparisonThatCannotReadASideProvesNothing)
{
    // Q fails on the third source row; ONLY_DEST has no columns in the source.
    auto copy = Make("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, X INTEGER, Q COMPUTED BY (10 / X));"
                     "INSERT INTO T VALUES (1, 1); INSERT INTO T VALUES (2, 2); INSERT INTO T VALUES (3, 0);"
                     "INSERT INTO T VALUES (4, 4); INSERT INTO T VALUES (5, 5);",
                     "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, X INTEGER, Q INTEGER);"
                     "INSERT INTO T VALUES (1, 1, 10); INSERT INTO T VALUES (2, 2, 5); INSERT INTO T VALUES (3, 0, 0);"
                     "INSERT INTO T VALUES (4, 4, 2); INSERT INTO T VALUES (5, 5, 2);"
                     "CREATE TABLE ONLY_DEST (ID INTEGER); INSERT INTO ONLY_DEST VALUES (1);");
    const SCompareReport report = CompareTables(copy->engine.Settings(), {"T", "ONLY_DEST"});
    ASSERT_TRUE(report.compared) << report.error;
    ASSERT_EQ(report.tables.size(), 2u);
    const STableVerification& broken = report.tables[0].result;
    EXPECT_FALSE(broken.ran);
    EXPECT_TRUE(Contains(broken.error, "divide by zero")) << broken.error;
    EXPECT_EQ(broken.extra, 0);
    EXPECT_EQ(broken.missing, 0);
    const STableVerification& unread = report.tables[1].result;
    EXPECT_FALSE(unread.ran);
    EXPECT_FALSE(unread.error.empty());
    EXPECT_FALSE(report.Identical()) << CompareReportText(report);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, Verification, ::testing::Values(false, true), PathName);
