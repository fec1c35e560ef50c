#include "sqleditor/CRecordStatements.h"

#include "db/CFbConnection.h"
#include "sqleditor/SqlEditorFiles.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

namespace
{
const char* const People = R"(
CREATE TABLE PERSON (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), AGE INTEGER);
INSERT INTO PERSON VALUES (7, 'Ann', 30);
INSERT INTO PERSON VALUES (8, 'Bob', 41);
INSERT INTO PERSON VALUES (9, 'Cid', 52);
INSERT INTO PERSON VALUES (10, 'Dee', 63);
CREATE TABLE CITY (NAME VARCHAR(30) NOT NULL PRIMARY KEY, ZIP INTEGER);
INSERT INTO CITY VALUES ('Bonn', 53111);
INSERT INTO CITY VALUES ('O''Hara', 1);
CREATE TABLE NOKEY (CODE VARCHAR(10), NOTE VARCHAR(20));
INSERT INTO NOKEY VALUES ('a1', 'first');
INSERT INTO NOKEY VALUES ('b2', 'second');
CREATE TABLE ORDERS (ORDER_ID INTEGER NOT NULL, PERSON_ID INTEGER NOT NULL REFERENCES PERSON(ID), QTY INTEGER,
  CONSTRAINT PK_ORDERS PRIMARY KEY (ORDER_ID));
INSERT INTO ORDERS VALUES (1, 8, 5);
INSERT INTO ORDERS VALUES (2, 8, 6);
CREATE TABLE LINES (ORDER_NO INTEGER NOT NULL, LINE_NO INTEGER NOT NULL, ITEM VARCHAR(20),
  CONSTRAINT PK_LINES PRIMARY KEY (ORDER_NO, LINE_NO));
INSERT INTO LINES VALUES (1, 1, 'x');
INSERT INTO LINES VALUES (1, 2, 'y');
INSERT INTO LINES VALUES (2, 1, 'z');
)";

// A connection holding the result of one statement, as the editor keeps it.
class CResultFixture : public ::testing::Test
{
  protected:
    CResultFixture() : m_db(People), m_connection(1) {}

    // Attaches on first use, so that rows a test adds before are visible.
    void Select(const std::string& sql)
    {
        ASSERT_TRUE(m_connection.Connect(TestUser, TestPassword, m_db.Name()));
        int failure = -1;
        m_connection.Execute(sql, failure, &m_rows, &m_columns);
        ASSERT_EQ(failure, 0) << m_connection.LastErrorMessage();
    }

    // Runs generated text the way the editor would: one statement per line,
    // or the whole text as one.
    void Run(const std::string& text, bool multiline)
    {
        std::vector<std::string> statements{text};
        if (!multiline)
            statements = SplitStatementLines(text).lines;
        for (const std::string& statement : statements)
        {
            int failure = -1;
            m_connection.Execute(statement, failure);
            ASSERT_EQ(failure, 0) << statement << ": " << m_connection.LastErrorMessage();
        }
        m_connection.Disconnect();
    }

    CRecordStatements Statements()
    {
        CRecordStatements statements(m_columns, m_rows, m_columns.GetCell(0, 2));
        statements.ChooseKey(m_connection);
        return statements;
    }

    CTempDatabase m_db;
    CFbConnection m_connection;
    CStringGrid m_columns;
    CStringGrid m_rows;
};
} // namespace

TEST_F(CResultFixture, DeleteOfThreeRowsGivesThreeLinesThatDeleteExactlyThem)
{
    Select("SELECT * FROM PERSON ORDER BY ID");
    const std::string text = Statements().DeleteRecords({0, 2, 3});
    EXPECT_EQ(text,
              "DELETE FROM PERSON WHERE ID=7;\r\nDELETE FROM PERSON WHERE ID=9;\r\nDELETE FROM PERSON WHERE ID=10;");
    Run(text, false);
    EXPECT_EQ(m_db.Query("SELECT ID FROM PERSON"), (std::vector<std::vector<std::string>>{{"8"}}));
}

TEST_F(CResultFixture, DeleteWithoutSelectedRowsIsEmpty)
{
    Select("SELECT * FROM PERSON");
    EXPECT_EQ(Statements().DeleteRecords({}), "");
}

TEST_F(CResultFixture, DeleteQuotesATextKeyAndDoublesItsApostrophe)
{
    Select("SELECT * FROM CITY ORDER BY NAME");
    const std::string text = Statements().DeleteRecords({1});
    EXPECT_EQ(text, "DELETE FROM CITY WHERE NAME='O''Hara';");
    Run(text, false);
    EXPECT_EQ(m_db.Scalar("SELECT COUNT(*) FROM CITY"), "1");
    EXPECT_EQ(m_db.Scalar("SELECT NAME FROM CITY"), "Bonn");
}

TEST_F(CResultFixture, DeleteInATableWithoutKeyUsesTheFirstColumn)
{
    Select("SELECT * FROM NOKEY ORDER BY CODE");
    CRecordStatements statements = Statements();
    EXPECT_EQ(statements.KeyNames(), std::vector<std::string>{"CODE"});
    EXPECT_EQ(statements.DeleteRecords({1}), "DELETE FROM NOKEY WHERE CODE='b2';");
}

TEST_F(CResultFixture, ThePrimaryKeyWinsOverAForeignKey)
{
    // The table also has a foreign key; deleting by it would remove every
    // order of the same person.
    Select("SELECT * FROM ORDERS ORDER BY ORDER_ID");
    const std::string text = Statements().DeleteRecords({0});
    EXPECT_EQ(text, "DELETE FROM ORDERS WHERE ORDER_ID=1;");
    Run(text, false);
    EXPECT_EQ(m_db.Scalar("SELECT COUNT(*) FROM ORDERS"), "1");
}

TEST_F(CResultFixture, APrimaryKeyListedAfterAForeignKeyStillWins)
{
    Select("SELECT * FROM ORDERS ORDER BY ORDER_ID");
    CRecordStatements statements(m_columns, m_rows, "ORDERS");
    CStringGrid keyGrid;
    keyGrid.SetSize(3, 2);
    keyGrid.SetCell(0, 0, "PERSON_ID");
    keyGrid.SetCell(1, 0, "FOREIGN KEY");
    keyGrid.SetCell(0, 1, "ORDER_ID");
    keyGrid.SetCell(1, 1, "PRIMARY KEY");
    statements.ChooseKey(true, keyGrid);
    EXPECT_EQ(statements.DeleteRecords({1}), "DELETE FROM ORDERS WHERE ORDER_ID=2;");
}

TEST_F(CResultFixture, AForeignKeyServesWhenThereIsNoPrimaryKey)
{
    Select("SELECT QTY, PERSON_ID FROM ORDERS ORDER BY ORDER_ID");
    CRecordStatements statements(m_columns, m_rows, "ORDERS");
    CStringGrid keyGrid;
    keyGrid.SetSize(3, 1);
    keyGrid.SetCell(0, 0, "PERSON_ID");
    keyGrid.SetCell(1, 0, "FOREIGN KEY");
    statements.ChooseKey(true, keyGrid);
    EXPECT_EQ(statements.DeleteRecords({1}), "DELETE FROM ORDERS WHERE PERSON_ID=8;");
}

TEST_F(CResultFixture, AKeyOfTwoFieldsNamesBoth)
{
    Select("SELECT * FROM LINES ORDER BY ORDER_NO, LINE_NO");
    const std::string text = Statements().DeleteRecords({1});
    EXPECT_TRUE(text == "DELETE FROM LINES WHERE ORDER_NO=1 AND LINE_NO=2;" ||
                text == "DELETE FROM LINES WHERE LINE_NO=2 AND ORDER_NO=1;")
        << text;
    Run(text, false);
    EXPECT_EQ(m_db.Scalar("SELECT COUNT(*) FROM LINES"), "2");
    EXPECT_EQ(m_db.Scalar("SELECT COUNT(*) FROM LINES WHERE ORDER_NO=1 AND LINE_NO=2"), "0");
}

TEST_F(CResultFixture, AKeyMissingFromTheResultFallsBackToTheFirstColumn)
{
    Select("SELECT NAME, AGE FROM PERSON ORDER BY ID");
    CRecordStatements statements = Statements();
    EXPECT_EQ(statements.DeleteRecords({1}), "DELETE FROM PERSON WHERE NAME='Bob';");
}

TEST_F(CResultFixture, AFailedKeyQueryFallsBackToTheFirstColumn)
{
    Select("SELECT AGE, ID, NAME FROM PERSON ORDER BY ID");
    CRecordStatements statements(m_columns, m_rows, "PERSON");
    CStringGrid keyGrid;
    keyGrid.SetSize(3, 1);
    keyGrid.SetCell(0, 0, "ID");
    statements.ChooseKey(false, keyGrid);
    EXPECT_EQ(statements.DeleteRecords({0}), "DELETE FROM PERSON WHERE AGE=30;");
}

TEST_F(CResultFixture, ModifyWritesEveryOtherColumnAndTheKeyCondition)
{
    Select("SELECT * FROM PERSON ORDER BY ID");
    const std::string text = Statements().ModifyRecord(0);
    EXPECT_EQ(text, "UPDATE PERSON SET\r\nNAME='Ann',\r\nAGE=30\r\nWHERE ID=7;");
}

TEST_F(CResultFixture, ModifyWithTheKeyInAnotherColumnTakesTheKeysOwnValue)
{
    Select("SELECT NAME, AGE, ID FROM PERSON ORDER BY ID");
    const std::string text = Statements().ModifyRecord(1);
    EXPECT_EQ(text, "UPDATE PERSON SET\r\nNAME='Bob',\r\nAGE=41\r\nWHERE ID=8;");
    Run("UPDATE PERSON SET\r\nNAME='Bobby',\r\nAGE=41\r\nWHERE ID=8;", true);
    EXPECT_EQ(m_db.Scalar("SELECT NAME FROM PERSON WHERE ID=8"), "Bobby");
}

TEST_F(CResultFixture, ModifyOfASingleColumnGoesStraightToTheCondition)
{
    Select("SELECT ID FROM PERSON ORDER BY ID");
    EXPECT_EQ(Statements().ModifyRecord(0), "UPDATE PERSON SET\r\nWHERE ID=7;");
}

TEST_F(CResultFixture, ModifyKeepsApostrophesAndNullsAsTheyAre)
{
    m_db.Run("INSERT INTO PERSON VALUES (11, 'O''Neil', NULL);");
    Select("SELECT * FROM PERSON WHERE ID=11");
    const std::string text = Statements().ModifyRecord(0);
    EXPECT_EQ(text, "UPDATE PERSON SET\r\nNAME='O''Neil',\r\nAGE=NULL\r\nWHERE ID=11;");
    // Run unchanged, the statement leaves the record exactly as it was.
    Run(text, true);
    EXPECT_EQ(m_db.Query("SELECT NAME, AGE FROM PERSON WHERE ID=11"),
              (std::vector<std::vector<std::string>>{{"O'Neil", "<null>"}}));
}

TEST_F(CResultFixture, ModifyLeavesBlobsAsTheyAre)
{
    m_db.Run("CREATE TABLE NOTE (ID INTEGER NOT NULL PRIMARY KEY, MEMO BLOB SUB_TYPE TEXT, TITLE VARCHAR(10));"
             "INSERT INTO NOTE VALUES (1, 'a long memo', 'first');");
    Select("SELECT * FROM NOTE");
    const std::string text = Statements().ModifyRecord(0);
    EXPECT_EQ(text, "UPDATE NOTE SET\r\nTITLE='first'\r\nWHERE ID=1;");
    Run(text, true);
    EXPECT_EQ(m_db.Scalar("SELECT MEMO FROM NOTE"), "a long memo");
}

TEST_F(CResultFixture, ANullTextIsNotAnEmptyText)
{
    m_db.Run("INSERT INTO NOKEY VALUES ('c3', NULL); INSERT INTO NOKEY VALUES ('d4', '');");
    Select("SELECT * FROM NOKEY WHERE CODE IN ('c3', 'd4') ORDER BY CODE");
    CRecordStatements statements = Statements();
    EXPECT_EQ(statements.Literal(1, 0), "NULL");
    EXPECT_EQ(statements.Literal(1, 1), "''");
}

TEST_F(CResultFixture, ANullKeyValueIsTestedWithIsNull)
{
    m_db.Run("INSERT INTO NOKEY VALUES (NULL, 'orphan');");
    Select("SELECT * FROM NOKEY ORDER BY NOTE");
    // Rows ordered by note: first, orphan, second.
    const std::string text = Statements().DeleteRecords({1});
    EXPECT_EQ(text, "DELETE FROM NOKEY WHERE CODE IS NULL;");
    Run(text, false);
    EXPECT_EQ(m_db.Scalar("SELECT COUNT(*) FROM NOKEY"), "2");
}

TEST_F(CResultFixture, ModifyNeedsColumnsATableAndARow)
{
    CRecordStatements empty(m_columns, m_rows, "PERSON");
    EXPECT_EQ(empty.ModifyRecord(0), "");
    Select("SELECT * FROM PERSON");
    EXPECT_EQ(CRecordStatements(m_columns, m_rows, "").ModifyRecord(0), "");
    EXPECT_EQ(CRecordStatements(m_columns, m_rows, "PERSON").ModifyRecord(-1), "");
}

TEST_F(CResultFixture, InsertTemplateHasAPlaceholderPerColumn)
{
    Select("SELECT * FROM PERSON");
    const std::string text = Statements().InsertRecord();
    EXPECT_EQ(text, "INSERT INTO PERSON(\r\nID,\r\nNAME,\r\nAGE\r\n) VALUES (\r\n0,\r\n'',\r\n0\r\n);");
    Run(text, true);
    EXPECT_EQ(m_db.Query("SELECT NAME, AGE FROM PERSON WHERE ID=0"),
              (std::vector<std::vector<std::string>>{{"", "0"}}));
}

TEST_F(CResultFixture, InsertTemplateOfOneTextColumnHasFiveLines)
{
    Select("SELECT NOTE FROM NOKEY");
    EXPECT_EQ(Statements().InsertRecord(), "INSERT INTO NOKEY(\r\nNOTE\r\n) VALUES (\r\n''\r\n);");
}

TEST_F(CResultFixture, InsertNeedsColumnsAndATable)
{
    EXPECT_EQ(CRecordStatements(m_columns, m_rows, "PERSON").InsertRecord(), "");
    Select("SELECT * FROM PERSON");
    EXPECT_EQ(CRecordStatements(m_columns, m_rows, "").InsertRecord(), "");
}

TEST_F(CResultFixture, NamesThatNeedQuotesGetThem)
{
    m_db.Run(R"(CREATE TABLE "Mixed Case" ("Id" INTEGER NOT NULL PRIMARY KEY, "VALUE" VARCHAR(10));
INSERT INTO "Mixed Case" VALUES (1, 'v');)");
    Select(R"(SELECT * FROM "Mixed Case")");
    const std::string text = Statements().ModifyRecord(0);
    EXPECT_EQ(text, "UPDATE \"Mixed Case\" SET\r\n\"VALUE\"='v'\r\nWHERE \"Id\"=1;");
    Run(text, true);
    EXPECT_EQ(m_db.Scalar(R"(SELECT "VALUE" FROM "Mixed Case")"), "v");
}

TEST(CRecordStatementsTest, DropTableNamesTheCurrentTableOrTestTable)
{
    EXPECT_EQ(CRecordStatements::DropTable("PERSON"), "DROP TABLE PERSON;");
    EXPECT_EQ(CRecordStatements::DropTable(""), "DROP TABLE TEST_TABLE;");
}

TEST(CRecordStatementsTest, FixedStatements)
{
    const std::string create = CRecordStatements::kCreateTestTable;
    EXPECT_EQ(create.size(), 160u);
    EXPECT_EQ(create, "CREATE TABLE Test_Table (\r\nTest_ID INT NOT NULL PRIMARY KEY,\r\nTest_TextVarChar VARCHAR(25),"
                      "\r\nTest_TextVarying CHARACTER VARYING(255),\r\nTest_ValueFloat FLOAT\r\n);");
    EXPECT_EQ(std::string(CRecordStatements::kShowSystemTable), "SELECT * FROM RDB$RELATIONS;");
}

TEST(CRecordStatementsTest, TheTestTableStatementRuns)
{
    CTempDatabase db;
    db.Run(FromCrLf(CRecordStatements::kCreateTestTable));
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM TEST_TABLE"), "0");
}
