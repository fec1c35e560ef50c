#include "sqleditor/SqlEditorFiles.h"

#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "db/CFbConnection.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace
{
std::string Bytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::u16string Wide(const std::string& path)
{
    return Utf8ToWide(path);
}
} // namespace

TEST(SplitStatementLinesTest, EveryLineIsAStatement)
{
    const SLineStatements result = SplitStatementLines("SELECT * FROM A\nSELECT * FROM B");
    EXPECT_EQ(result.lines, (std::vector<std::string>{"SELECT * FROM A", "SELECT * FROM B"}));
    EXPECT_FALSE(result.stoppedAtEmptyLine);
}

TEST(SplitStatementLinesTest, CarriageReturnsAreNotPartOfTheStatement)
{
    EXPECT_EQ(SplitStatementLines("A;\r\nB;").lines, (std::vector<std::string>{"A;", "B;"}));
}

TEST(SplitStatementLinesTest, AnEmptyLineEndsTheList)
{
    const SLineStatements result = SplitStatementLines("A\n\nB");
    EXPECT_EQ(result.lines, std::vector<std::string>{"A"});
    EXPECT_TRUE(result.stoppedAtEmptyLine);
}

TEST(SplitStatementLinesTest, AStatementFollowedByALineBreakEndsAtTheEmptyLastLine)
{
    const SLineStatements result = SplitStatementLines("A\n");
    EXPECT_EQ(result.lines, std::vector<std::string>{"A"});
    EXPECT_TRUE(result.stoppedAtEmptyLine);
}

TEST(SplitStatementLinesTest, ALineOfBlanksCountsAsEmpty)
{
    const SLineStatements result = SplitStatementLines("A\n  \t\nB");
    EXPECT_EQ(result.lines, std::vector<std::string>{"A"});
    EXPECT_TRUE(result.stoppedAtEmptyLine);
}

TEST(SplitStatementLinesTest, AnEmptyTextStopsAtOnce)
{
    const SLineStatements result = SplitStatementLines("");
    EXPECT_TRUE(result.lines.empty());
    EXPECT_TRUE(result.stoppedAtEmptyLine);
}

TEST(LineEndsTest, ConvertBothWays)
{
    EXPECT_EQ(ToCrLf("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(FromCrLf("a\r\nb\nc\r"), "a\nb\nc\r");
}

TEST(SqlScriptTest, UmlautsInACommentSurviveSaveAndLoad)
{
    CTempFolder folder;
    const std::string text = "-- Größe und Maße\r\nSELECT * FROM T;";
    ASSERT_TRUE(SaveSqlScript(Wide(folder.File("a.sql")), text));
    EXPECT_EQ(Bytes(folder.File("a.sql")), text);
    EXPECT_EQ(LoadSqlScript(Wide(folder.File("a.sql"))), text);
}

TEST(SqlScriptTest, SavingOverALongerFileLeavesOnlyTheNewText)
{
    CTempFolder folder;
    WriteBytes(folder.File("b.sql"), std::string(500, 'x'));
    ASSERT_TRUE(SaveSqlScript(Wide(folder.File("b.sql")), "SELECT 1 FROM RDB$DATABASE"));
    EXPECT_EQ(Bytes(folder.File("b.sql")), "SELECT 1 FROM RDB$DATABASE");
}

TEST(SqlScriptTest, AnEmptyTextGivesAnEmptyFile)
{
    CTempFolder folder;
    WriteBytes(folder.File("c.sql"), "old");
    ASSERT_TRUE(SaveSqlScript(Wide(folder.File("c.sql")), ""));
    EXPECT_TRUE(FileExists(folder.File("c.sql")));
    EXPECT_EQ(Bytes(folder.File("c.sql")), "");
}

TEST(SqlScriptTest, LoadingStopsAtAZeroByte)
{
    CTempFolder folder;
    WriteBytes(folder.File("z.sql"), std::string("SELECT 1\0DROP TABLE T", 21));
    EXPECT_EQ(LoadSqlScript(Wide(folder.File("z.sql"))), "SELECT 1");
}

TEST(SqlScriptTest, AMissingFileLoadsAsEmpty)
{
    CTempFolder folder;
    EXPECT_EQ(LoadSqlScript(Wide(folder.File("none.sql"))), "");
}

TEST(SqlScriptTest, AFileThatCannotBeWrittenIsReported)
{
    CTempFolder folder;
    EXPECT_FALSE(SaveSqlScript(Wide(folder.File("no/such/folder.sql")), "x"));
}

namespace
{
class CExportTest : public ::testing::Test
{
  protected:
    CExportTest()
        : m_db("CREATE TABLE T (ID INTEGER, NAME VARCHAR(20));"
               "INSERT INTO T VALUES (1, 'Ann');"
               "INSERT INTO T VALUES (2, 'Bob');"
               "INSERT INTO T VALUES (3, 'x;y');"
               "INSERT INTO T VALUES (4, NULL);"),
          m_connection(1)
    {
    }

    void Select(const std::string& sql)
    {
        ASSERT_TRUE(m_connection.Connect(TestUser, TestPassword, m_db.Name()));
        int failure = -1;
        m_connection.Execute(sql, failure, &m_rows, &m_columns);
        ASSERT_EQ(failure, 0) << m_connection.LastErrorMessage();
    }

    CTempDatabase m_db;
    CFbConnection m_connection;
    CStringGrid m_columns;
    CStringGrid m_rows;
    CTempFolder m_folder;
};
} // namespace

TEST_F(CExportTest, HeaderAndRowsEndWithTwoBlanksAndCrLf)
{
    Select("SELECT ID, NAME FROM T WHERE ID < 3 ORDER BY ID");
    ASSERT_TRUE(ExportResults(m_columns, m_rows, Wide(m_folder.File("r.csv"))));
    EXPECT_EQ(Bytes(m_folder.File("r.csv")), "ID;NAME  \r\n1;Ann  \r\n2;Bob  \r\n");
}

TEST_F(CExportTest, ASeparatorInAValueIsWrittenAsItIsAndNullIsEmpty)
{
    Select("SELECT ID, NAME FROM T WHERE ID > 2 ORDER BY ID");
    ASSERT_TRUE(ExportResults(m_columns, m_rows, Wide(m_folder.File("s.csv"))));
    EXPECT_EQ(Bytes(m_folder.File("s.csv")), "ID;NAME  \r\n3;x;y  \r\n4;  \r\n");
}

TEST_F(CExportTest, AResultWithoutRowsWritesTheHeaderOnly)
{
    Select("SELECT ID, NAME FROM T WHERE ID > 100");
    ASSERT_TRUE(ExportResults(m_columns, m_rows, Wide(m_folder.File("h.csv"))));
    EXPECT_EQ(Bytes(m_folder.File("h.csv")), "ID;NAME  \r\n");
}

TEST_F(CExportTest, NothingExecutedYetWritesAnEmptyFileOverAnOldOne)
{
    WriteBytes(m_folder.File("e.csv"), "old contents");
    ASSERT_TRUE(ExportResults(m_columns, m_rows, Wide(m_folder.File("e.csv"))));
    EXPECT_EQ(Bytes(m_folder.File("e.csv")), "");
}

TEST_F(CExportTest, TheResultGridsAreLeftAsTheyWere)
{
    Select("SELECT ID, NAME FROM T ORDER BY ID");
    ASSERT_TRUE(ExportResults(m_columns, m_rows, Wide(m_folder.File("k.csv"))));
    EXPECT_EQ(m_columns.RowCount(), 5);
    EXPECT_EQ(m_columns.GetCell(1, 1), "STRING");
    EXPECT_EQ(m_rows.RowCount(), 4);
}
