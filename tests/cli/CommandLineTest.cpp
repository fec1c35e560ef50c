// The program run as a user runs it: a full argument vector, a private home,
// captured output and exit code.
#include "cli/InstalledProgram.h"
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"
#include "support/DatabaseFingerprint.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(CommandLine, HelpAndVersionAnswerAndSucceed)
{
    CInstalledProgram program;
    const SRunResult help = program.Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Contains(help.out, "Usage:"));
    // Where credentials come from that are not on the command line.
    for (const char* said : {"ISC_USER", "ISC_PASSWORD", "A password \"-\" is read from standard"})
        EXPECT_TRUE(Contains(help.out, said)) << said;
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
    // A build without the window says so whether or not a display is there.
    EXPECT_TRUE(Contains(result.err, ROWMOVER_WITH_WINDOW ? "display" : "built without the window")) << result.err;
}

TEST(CommandLine, AProgramWithoutTheWindowSaysSoEvenWithADisplay)
{
    if (ROWMOVER_WITH_WINDOW)
        GTEST_SKIP() << "this build has the window";
    CInstalledProgram program;
    SLaunch launch;
    launch.environment = {{"QT_QPA_PLATFORM", "offscreen"}};
    const SRunResult result = program.Run({}, launch);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, "rowmover: this program was built without the window.")) << result.err;
    EXPECT_TRUE(Contains(result.err, "--check or --compare")) << result.err;
    EXPECT_EQ(result.out, "");
}

TEST(CommandLine, UnattendedCopyReportsEveryTableAndAFailure)
{
    CInstalledProgram program;
    CWatchedDatabase source(R"(CREATE TABLE ALPHA (ID INTEGER, S VARCHAR(10)); INSERT INTO ALPHA VALUES (1, 'one');
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
    // The run log ends with the run's summary and where the way back is.
    const size_t logAt = result.out.find("Run log: ") + 9;
    const std::string runLog = ReadWholeFile(result.out.substr(logAt, result.out.find('\n', logAt) - logAt));
    const size_t summary = runLog.rfind("<TBL_                  > Run summary: 1 table(s) copied, 1 failed, 0 not "
                                        "started; 1 rows copied; 00:00:");
    ASSERT_NE(summary, std::string::npos) << runLog.substr(runLog.size() > 800 ? runLog.size() - 800 : 0);
    const std::string tail = runLog.substr(summary);
    const size_t kept = tail.find("\r\n\r\n<TBL_                  > The destination database as it was before the "
                                  "copy is kept (" +
                                  source.Folder().Path() + "DB_copy_");
    EXPECT_NE(kept, std::string::npos) << tail;
    EXPECT_TRUE(tail.ends_with(")\r\n\r\n")) << tail;
    EXPECT_EQ(tail.find("<TBL_", kept + 4), tail.rfind("<TBL_")) << tail;
    // A copy never writes to its source.
    EXPECT_EQ(source.Scalar("SELECT COUNT(*) FROM BETA"), "2");
}

TEST(CommandLine, EmptyCredentialsTakeTheDefaultsAndSuccessExitsZero)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (7);");
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
    AppendTextToFile(
        program.ConfigFolder() + "Rowmover.ini",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n<DoLogs>0</DoLogs>\r\n</InitFile>\r\n");
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (7);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);");
    const SRunResult result = program.Run(CopyArguments(source, dest));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "T copy successful.\n");
}

TEST(CommandLine, CopiesThatCannotStartExitTwoWithTheReason)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER);");
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

TEST(CommandLine, TheWindowedRunLeavesArgumentsThatLookLikeQtOptionsToTheCopy)
{
    CInstalledProgram program;
    CTempDatabase source("CREATE TABLE ALPHA (ID INTEGER); INSERT INTO ALPHA VALUES (7);");
    CTempDatabase dest("CREATE TABLE ALPHA (ID INTEGER);");
    // In process the password is not checked: it only has to reach the copy
    // instead of naming Qt's platform (which would end the program).
    SLaunch launch;
    launch.environment = {{"QT_QPA_PLATFORM", "offscreen"}};
    const SRunResult result =
        program.Run({source.Path(), TestUser, "-platform", dest.Path(), TestUser, "-style"}, launch);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(dest.Scalar("SELECT ID FROM ALPHA"), "7");
}

TEST(CommandLine, ANamedDisplayThatCannotBeOpenedRunsTheCopyWithoutAWindow)
{
    CInstalledProgram program;
    CTempDatabase source("CREATE TABLE ALPHA (ID INTEGER); INSERT INTO ALPHA VALUES (8);");
    CTempDatabase dest("CREATE TABLE ALPHA (ID INTEGER);");
    SLaunch launch;
    launch.environment = {{"QT_QPA_PLATFORM", ""}, {"WAYLAND_DISPLAY", ""}, {"DISPLAY", ":97"}};
    const SRunResult result =
        program.Run({source.Path(), TestUser, TestPassword, dest.Path(), TestUser, TestPassword}, launch);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.signal, 0);
    EXPECT_TRUE(Contains(result.out, "ALPHA copy successful.")) << result.out;
    EXPECT_EQ(dest.Scalar("SELECT ID FROM ALPHA"), "8");
}
