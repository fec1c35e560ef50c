#include "CopyFixture.h"

#include "copy/write/CTriggerSwitch.h"
#include "copy/write/TableSteps.h"
#include "db/CFbConnection.h"

namespace
{
const char* const WithTriggers = R"(
CREATE TABLE CUST (ID INTEGER NOT NULL, NAME VARCHAR(20), STAMP VARCHAR(20));
CREATE GENERATOR GEN_CUST;
SET TERM ^ ;
CREATE TRIGGER A FOR CUST BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(GEN_CUST, 1); END^
CREATE TRIGGER B FOR CUST BEFORE INSERT AS BEGIN NEW.STAMP = 'by trigger'; END^
SET TERM ; ^
)";
} // namespace

TEST(CopySteps, TriggersAreSwitchedOffAroundTheInsertsAndGeneratorsCarriedOver)
{
    SCopyFixture copy(WithTriggers, WithTriggers);
    copy.source.Run("INSERT INTO CUST (NAME) VALUES ('first'); INSERT INTO CUST (NAME) VALUES ('second');"
                    "SET GENERATOR GEN_CUST TO 1500;");
    ASSERT_TRUE(copy.Copy("CUST")) << copy.RunLog() << copy.SqlLog();
    // The inserted rows keep the source's keys and stamps: no trigger fired.
    EXPECT_EQ(copy.dest.Query("SELECT ID, NAME, STAMP FROM CUST ORDER BY ID"),
              (std::vector<std::vector<std::string>>{{"1", "first", "by trigger"}, {"2", "second", "by trigger"}}));
    EXPECT_EQ(copy.dest.Scalar("SELECT GEN_ID(GEN_CUST, 0) FROM RDB$DATABASE"), "1500");
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$RELATION_NAME = 'CUST'"
                               " AND RDB$TRIGGER_INACTIVE = 1"),
              "0");
    const std::string sql = copy.SqlLog();
    const size_t offA = sql.find("ALTER TRIGGER \"A\" INACTIVE;\r\n");
    const size_t offB = sql.find("ALTER TRIGGER \"B\" INACTIVE;\r\n");
    const size_t insert = sql.find("INSERT INTO CUST");
    const size_t generator = sql.find("SET GENERATOR GEN_CUST TO 1500;\r\n");
    const size_t onA = sql.find("ALTER TRIGGER  \"A\" ACTIVE;\r\n");
    const size_t onB = sql.find("ALTER TRIGGER  \"B\" ACTIVE;\r\n");
    ASSERT_NE(offA, std::string::npos) << sql;
    ASSERT_NE(onB, std::string::npos) << sql;
    EXPECT_LT(offA, offB);
    EXPECT_LT(offB, insert);
    EXPECT_LT(insert, generator);
    EXPECT_LT(generator, onA);
    EXPECT_LT(onA, onB);
    // And the triggers work again afterwards.
    copy.dest.Run("INSERT INTO CUST (NAME) VALUES ('after');");
    EXPECT_EQ(copy.dest.Scalar("SELECT ID FROM CUST WHERE NAME = 'after'"), "1501");
}

TEST(CopySteps, TriggersComeBackOnAfterFailedRows)
{
    SCopyFixture copy(WithTriggers, R"(
CREATE TABLE CUST (ID INTEGER NOT NULL, NAME VARCHAR(3), STAMP VARCHAR(20));
CREATE GENERATOR GEN_CUST;
SET TERM ^ ;
CREATE TRIGGER A FOR CUST BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(GEN_CUST, 1); END^
SET TERM ; ^
)");
    copy.source.Run("INSERT INTO CUST (NAME) VALUES ('too long');");
    EXPECT_FALSE(copy.Copy("CUST"));
    EXPECT_EQ(copy.dest.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'A'"), "0");
}

TEST(CopySteps, TableWithoutTriggersIssuesNoTriggerOrGeneratorStatements)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1); CREATE GENERATOR G;",
                      "CREATE TABLE T (ID INTEGER); CREATE GENERATOR G;");
    EXPECT_TRUE(copy.Copy("T"));
    EXPECT_EQ(copy.SqlLog().find("ALTER TRIGGER"), std::string::npos);
    EXPECT_EQ(copy.SqlLog().find("SET GENERATOR"), std::string::npos);
}

TEST(CopySteps, GeneratorTheSourceDoesNotHaveIsLeftAlone)
{
    SCopyFixture copy("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1); CREATE GENERATOR GEN_OLD;"
                      "SET GENERATOR GEN_OLD TO 77;",
                      R"(CREATE TABLE T (ID INTEGER); CREATE GENERATOR GEN_NEW;
                         SET TERM ^ ;
                         CREATE TRIGGER T_BI FOR T BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(GEN_NEW, 1); END^
                         SET TERM ; ^)");
    EXPECT_TRUE(copy.Copy("T"));
    EXPECT_EQ(copy.SqlLog().find("SET GENERATOR"), std::string::npos);
    EXPECT_EQ(copy.dest.Scalar("SELECT GEN_ID(GEN_NEW, 0) FROM RDB$DATABASE"), "0");
}

TEST(CopySteps, FailingTriggerAndGeneratorStatementsAreEachLoggedOnce)
{
    SCopyFixture copy(WithTriggers, WithTriggers);
    CFbConnection dest(1);
    ASSERT_TRUE(dest.Connect(TestUser, TestPassword, copy.dest.Name()));
    copy.engine.Logs().SetLogging(ELogging::On);
    copy.engine.Logs().SetTable("CUST");
    // A source grid naming a generator value the server refuses.
    CStringGrid sourceTriggers;
    sourceTriggers.SetSize(4, 1);
    sourceTriggers.SetCell(0, 0, "A");
    sourceTriggers.SetCell(2, 0, "GEN_CUST");
    sourceTriggers.SetCell(3, 0, "not a number");
    CFbConnection source(1);
    ASSERT_TRUE(source.Connect(TestUser, TestPassword, copy.source.Name()));
    EXPECT_FALSE(SetGenerators(source, dest, sourceTriggers, "CUST", copy.engine.Logs()));
    const std::string entry =
        "<TBL_CUST              > ERROR: Failed to set GENERATOR!\r\n (<TBL_CUST              >)\r\n\r\n";
    EXPECT_EQ(CountOf(copy.RunLog(), entry), 1u) << copy.RunLog();
    CTriggerSwitch triggers(copy.engine.Settings(), copy.engine.Logs(), copy.engine.Journal());
    EXPECT_TRUE(triggers.SetActive(dest, "CUST", false));
    EXPECT_TRUE(triggers.SetActive(dest, "CUST", true));
    EXPECT_TRUE(EmptyTable(dest, "CUST", copy.engine.Logs()));
    EXPECT_TRUE(EmptyTable(dest, "", copy.engine.Logs()));
    EXPECT_FALSE(EmptyTable(dest, "NO_SUCH_TABLE", copy.engine.Logs()));
    EXPECT_EQ(CountOf(copy.RunLog(), "ERROR: Failed to cleanup table!\r\n (<TBL_CUST              >)"), 1u);
    CFbConnection detached(1);
    EXPECT_FALSE(triggers.SetActive(detached, "CUST", true));
    EXPECT_FALSE(EmptyTable(detached, "CUST", copy.engine.Logs()));
}

TEST(CopySteps, TableWithACheckConstraintCopies)
{
    const char* ddl = "CREATE TABLE T (ID INTEGER CHECK (ID > 0), S VARCHAR(5));";
    SCopyFixture copy(ddl, ddl);
    copy.source.Run("INSERT INTO T VALUES (1, 'a');");
    EXPECT_TRUE(copy.Copy("T")) << copy.RunLog() << copy.SqlLog();
    EXPECT_EQ(copy.dest.Scalar("SELECT S FROM T"), "a");
    // The constraint still holds afterwards.
    EXPECT_THROW(copy.dest.Run("INSERT INTO T VALUES (-1, 'b');"), std::runtime_error);
}
