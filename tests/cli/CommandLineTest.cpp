// The program run as a user runs it: a full argument vector, a private home,
// captured output and exit code.
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
struct SRunResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A copy of the program in a folder of its own, so that its program folder
// (error report, temporary destination copy) belongs to this test alone.
class CInstalledProgram
{
public:
    CInstalledProgram()
    {
        namespace fs = std::filesystem;
        fs::copy_file(ROWMOVER_EXECUTABLE, m_program.File("rowmover"));
        fs::permissions(m_program.File("rowmover"), fs::perms::owner_all);
    }

    const CTempFolder& ProgramFolder() const { return m_program; }
    std::string ConfigFolder() const { return m_home.File("config/Quenstead/Rowmover/"); }

    SRunResult Run(const std::vector<std::string>& arguments) const
    {
        const std::string out = m_home.File("out.txt");
        const std::string err = m_home.File("err.txt");
        const pid_t child = fork();
        if (child == 0)
        {
            std::vector<char*> argv;
            const std::string program = m_program.File("rowmover");
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const auto& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            freopen(out.c_str(), "w", stdout);
            freopen(err.c_str(), "w", stderr);
            // No display: the copy runs without windows.
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("QT_QPA_PLATFORM");
            setenv("HOME", m_home.Path().c_str(), 1);
            setenv("XDG_CONFIG_HOME", m_home.File("config").c_str(), 1);
            setenv("XDG_DATA_DIRS", m_home.File("shared").c_str(), 1);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        SRunResult result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = ReadWholeFile(out);
        result.err = ReadWholeFile(err);
        return result;
    }

private:
    CTempFolder m_program;
    CTempFolder m_home;
};

std::vector<std::string> CopyArguments(const CTempDatabase& source, const CTempDatabase& dest)
{
    return {source.Name(), TestUser, TestPassword, dest.Name(), TestUser, TestPassword};
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
} // namespace

TEST(CommandLine, HelpAndVersionAnswerAndSucceed)
{
    CInstalledProgram program;
    const SRunResult help = program.Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Contains(help.out, "Usage:"));
    const SRunResult version = program.Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(Contains(version.out, "Version 1.600 (09.01.2019)"));
}

TEST(CommandLine, WrongArgumentCountsPrintTheUsageAndFail)
{
    CInstalledProgram program;
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"one"}, {"a", "b", "c"}, {"1", "2", "3", "4", "5"}, {"1", "2", "3", "4", "5", "6", "7"}, {"--help", "x"}})
    {
        const SRunResult result = program.Run(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.size();
        EXPECT_TRUE(Contains(result.err, "Usage:"));
        EXPECT_EQ(result.out, "");
    }
}

TEST(CommandLine, NoDisplayForTheWindowIsExplained)
{
    CInstalledProgram program;
    const SRunResult result = program.Run({});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, "display")) << result.err;
}

TEST(CommandLine, UnattendedCopyReportsEveryTableAndAFailure)
{
    CInstalledProgram program;
    CTempDatabase source(R"(CREATE TABLE ALPHA (ID INTEGER, S VARCHAR(10)); INSERT INTO ALPHA VALUES (1, 'one');
                            CREATE TABLE BETA (ID INTEGER, S VARCHAR(10)); INSERT INTO BETA VALUES (1, 'too long');
                            INSERT INTO BETA VALUES (2, 'ok');)");
    CTempDatabase dest(R"(CREATE TABLE ALPHA (ID INTEGER, S VARCHAR(10));
                          CREATE TABLE BETA (ID INTEGER, S VARCHAR(3));)");
    const SRunResult result = program.Run(CopyArguments(source, dest));
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.out.substr(0, 44), "ALPHA copy successful.\nBETA copy failed.\nRun") << result.out;
    EXPECT_TRUE(Contains(result.out, "Run log: " + source.Folder().Path() + "DB_copy_"));
    EXPECT_TRUE(Contains(result.out, "_sql.txt\n"));
    EXPECT_TRUE(Contains(result.out, "_txt.txt\n"));
    EXPECT_TRUE(Contains(result.err, "Copy process failed")) << result.err;
    EXPECT_EQ(dest.Scalar("SELECT S FROM ALPHA"), "one");
    EXPECT_EQ(dest.Scalar("SELECT S FROM BETA"), "ok");
    EXPECT_EQ(ReadWholeFile(program.ProgramFolder().File("update_error.txt")),
              "1 BETA record(s) could not be copied.\r\n\r\n");
    // A copy never writes to its source.
    EXPECT_EQ(source.Scalar("SELECT COUNT(*) FROM BETA"), "2");
}

TEST(CommandLine, EmptyCredentialsTakeTheDefaultsAndSuccessExitsZero)
{
    CInstalledProgram program;
    CTempDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (7);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);");
    const SRunResult result = program.Run({source.Name(), "", "", dest.Name(), "", ""});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(dest.Scalar("SELECT ID FROM T"), "7");
}

TEST(CommandLine, SettingsWithLogsOffPrintNoLogPaths)
{
    CInstalledProgram program;
    std::filesystem::create_directories(program.ConfigFolder());
    AppendTextToFile(program.ConfigFolder() + "Rowmover.ini",
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n<DoLogs>0</DoLogs>\r\n</InitFile>\r\n");
    CTempDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (7);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);");
    const SRunResult result = program.Run(CopyArguments(source, dest));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "T copy successful.\n");
}

TEST(CommandLine, CopiesThatCannotStartExitTwoWithTheReason)
{
    CInstalledProgram program;
    CTempDatabase source("CREATE TABLE T (ID INTEGER);");
    CTempDatabase other("CREATE TABLE U (ID INTEGER);");
    CTempFolder folder;

    SRunResult result = program.Run({folder.File("missing.fdb"), "", "", source.Name(), "", ""});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, "Cannot attach source database.")) << result.err;

    result = program.Run({source.Name(), "", "", folder.File("missing.fdb"), "", ""});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, "Cannot attach destination database.")) << result.err;

    result = program.Run(CopyArguments(source, other));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, "No tables available, that exist in source and destination database!"));

    result = program.Run(CopyArguments(source, source));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, "Source and destination database are identical!"));

    result = program.Run({"", "", "", source.Name(), "", ""});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, "No source database selected."));

    // A folder, a text file and bytes that are not UTF-8 as database names.
    AppendTextToFile(folder.File("notes.fdb"), "not a database");
    for (const std::string& name : {folder.Path(), folder.File("notes.fdb"), std::string("\xff\xfe.fdb")})
    {
        result = program.Run({name, "", "", source.Name(), "", ""});
        EXPECT_EQ(result.exitCode, 2) << name;
        EXPECT_TRUE(Contains(result.err, "Cannot attach source database.")) << result.err;
    }
    EXPECT_EQ(ReadWholeFile(folder.File("notes.fdb")), "not a database");
}
