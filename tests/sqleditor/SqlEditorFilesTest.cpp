#include "sqleditor/SqlEditorFiles.h"

#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "db/CFbConnection.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(SplitStatementLinesTest, EmptyLinesAtTheEndStopNothing)
{
    for (const char* text : {"A\n", "A\r\n", "A\n\n  \n", "A\n\t\r\n"})
    {
        const SLineStatements result = SplitStatementLines(text);
        EXPECT_EQ(result.lines, std::vector<std::string>{"A"}) << text;
        EXPECT_FALSE(result.stoppedAtEmptyLine) << text;
    }
}

TEST(SplitStatementLinesTest, ALineOfBlanksCountsAsEmpty)
{
    const SLineStatements result = SplitStatementLines("A\n  \t\nB");
    EXPECT_EQ(result.lines, std::vector<std::string>{"A"});
    EXPECT_TRUE(result.stoppedAtEmptyLine);
}

TEST(SplitStatementLinesTest, AnEmptyTextHasNoStatement)
{
    const SLineStatements result = SplitStatementLines("");
    EXPECT_TRUE(result.lines.empty());
    EXPECT_FALSE(result.stoppedAtEmptyLine);
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
    std::string error;
    EXPECT_FALSE(SaveSqlScript(Wide(folder.File("no/such/folder.sql")), "x", &error));
    EXPECT_NE(error, "");
}

TEST(SqlScriptTest, AFailedSaveKeepsTheOldFileAndLeavesNothingBeside)
{
    CTempFolder folder;
    WriteBytes(folder.File("keep.sql"), "old script");
    // A disk that fills up while the script is written: files of this
    // process may not grow past 16 bytes.
    struct rlimit old
    {
    };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool saved = SaveSqlScript(Wide(folder.File("keep.sql")), std::string(100, 'n'), &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved);
    EXPECT_NE(error, "");
    EXPECT_EQ(Bytes(folder.File("keep.sql")), "old script");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(SqlScriptTest, ASavedScriptKeepsTheOldFilesPermissions)
{
    CTempFolder folder;
    WriteBytes(folder.File("mode.sql"), "old");
    ASSERT_EQ(::chmod(folder.File("mode.sql").c_str(), 0640), 0);
    ASSERT_TRUE(SaveSqlScript(Wide(folder.File("mode.sql")), "new"));
    struct stat info
    {
    };
    ASSERT_EQ(::stat(folder.File("mode.sql").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(CsvLineTest, OnlyCellsWithSeparatorsQuotesOrLineBreaksAreQuoted)
{
    struct SCase
    {
        std::vector<std::string> cells;
        const char* line;
    };
    const SCase cases[] = {
        {{"1", "Ann"}, "1;Ann  \r\n"},
        {{"x;y"}, "\"x;y\"  \r\n"},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\"  \r\n"},
        {{"a\nb", "c\rd"}, "\"a\nb\";\"c\rd\"  \r\n"},
        {{" padded ", "", "'apos'", "tab\there"}, " padded ;;'apos';tab\there  \r\n"},
        {{"Größe"}, "Größe  \r\n"},
        {{}, "  \r\n"},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(CsvLine(c.cells), c.line);
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

TEST_F(CExportTest, ASeparatorInAValueIsQuotedAndNullIsEmpty)
{
    Select("SELECT ID, NAME FROM T WHERE ID > 2 ORDER BY ID");
    ASSERT_TRUE(ExportResults(m_columns, m_rows, Wide(m_folder.File("s.csv"))));
    EXPECT_EQ(Bytes(m_folder.File("s.csv")), "ID;NAME  \r\n3;\"x;y\"  \r\n4;  \r\n");
}

TEST_F(CExportTest, AnExportThatCannotBeWrittenSaysWhy)
{
    Select("SELECT ID FROM T");
    std::string error;
    EXPECT_FALSE(ExportResults(m_columns, m_rows, Wide(m_folder.File("none/r.csv")), &error));
    EXPECT_NE(error, "");
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
