// The command line as scripts use it: chosen tables (--tables, --exclude), a
// retry of the tables that failed (--retry-failed) and the JSON report
// (--report), alone and with --check, --compare and --no-verify.
#include "cli/InstalledProgram.h"
#include "cli/ReportSchema.h"
#include "support/DatabaseFingerprint.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace
{
// PARENT and CHILD are joined by a foreign key; LONE stands alone.
const char* const Ddl = R"(
CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(10));
CREATE TABLE CHILD (ID INTEGER NOT NULL PRIMARY KEY, PARENT_ID INTEGER REFERENCES PARENT (ID), NAME VARCHAR(10));
CREATE TABLE LONE (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(10));
)";
const char* const SourceRows = R"(
INSERT INTO PARENT VALUES (1, 'p1');
INSERT INTO CHILD VALUES (1, 1, 'c1');
INSERT INTO LONE VALUES (1, 'l1');
)";
const char* const OldRows = R"(
INSERT INTO PARENT VALUES (9, 'old');
INSERT INTO CHILD VALUES (9, 9, 'old');
INSERT INTO LONE VALUES (9, 'old');
)";

std::vector<std::string> With(std::vector<std::string> options, const std::vector<std::string>& arguments)
{
    options.insert(options.end(), arguments.begin(), arguments.end());
    return options;
}

// The NAME of each table's rows, "old" where the copy left it alone.
std::string Names(const CTempDatabase& db)
{
    return db.Scalar("SELECT LIST(NAME, ' ') FROM (SELECT NAME FROM PARENT UNION ALL SELECT NAME FROM CHILD"
                     " UNION ALL SELECT NAME FROM LONE)");
}

std::string ReadReport(const SRunResult& result, const std::string& path)
{
    return path == "-" ? result.out : ReadWholeFile(path);
}
} // namespace

using ScriptedRun = ProgramOnEitherPath;

TEST_P(ScriptedRun, TablesAndExcludeCopyOnlyTheChosenTablesInTheirKeyOrder)
{
    struct SCase
    {
        std::vector<std::string> options;
        int exitCode;
        const char* out;   // the result lines
        const char* err;   // part of standard error
        const char* names; // PARENT, CHILD and LONE's names afterwards
    };
    const SCase cases[] = {
        // Joined tables chosen together are emptied children first and filled parents first.
        {{"--tables", "child,Parent"}, 0, "PARENT copy successful.\nCHILD copy successful.\n", "", "p1 c1 old"},
        {{"--tables=LONE"}, 0, "LONE copy successful.\n", "", "old old l1"},
        {{"--exclude", " lone "}, 0, "PARENT copy successful.\nCHILD copy successful.\n", "", "p1 c1 old"},
        {{"--tables", "LONE,CHILD", "--exclude", "child"}, 0, "LONE copy successful.\n", "", "old old l1"},
        // Alone, PARENT cannot be emptied: the destination's CHILD still refers to it.
        {{"--tables", "PARENT"}, 1, "PARENT copy failed.\n", "Copy process failed", "old old old"},
        // Names that are no table stop the run before it writes anything.
        {{"--tables", "PARENT,NOPE"},
         2,
         "",
         "No table NOPE exists in both the source and the destination database.",
         "old old old"},
        {{"--exclude", "NOPE"}, 2, "", "No table NOPE exists", "old old old"},
        {{"--exclude", "PARENT,CHILD,LONE"}, 2, "", "No table(s) selected for copy process!", "old old old"},
        {{"--tables", "PARENT,,LONE"}, 2, "", "--tables needs table names separated by commas", "old old old"},
        // The option takes the source's name: five databases' arguments are left.
        {{"--exclude"}, 2, "", "Usage:", "old old old"},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.options.front() + (c.options.size() > 1 ? " " + c.options[1] : ""));
        CInstalledProgram program;
        CWatchedDatabase source(std::string(Ddl) + SourceRows, On("source.fdb"));
        CTempDatabase dest(std::string(Ddl) + OldRows, On("dest.fdb"));
        // A failed-records report of an earlier run stays until a run begins.
        AppendTextToFile(program.ProgramFolder().File("update_error.txt"), "earlier\r\n");
        const SRunResult result = program.Run(With(c.options, CopyArguments(source, dest)));
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
        EXPECT_EQ(result.out.substr(0, result.out.find("Run log: ")), c.out);
        EXPECT_TRUE(Contains(result.err, c.err)) << result.err;
        EXPECT_EQ(Names(dest), c.names);
        if (c.exitCode == 2)
        {
            EXPECT_EQ(ReadWholeFile(program.ProgramFolder().File("update_error.txt")), "earlier\r\n");
            bool runFolder = false;
            for (const auto& entry : std::filesystem::directory_iterator(source.Folder().Path()))
                runFolder = runFolder || entry.path().filename().string().rfind("DB_copy_", 0) == 0;
            EXPECT_FALSE(runFolder);
        }
    }
}

TEST_P(ScriptedRun, RetryFailedCopiesAgainExactlyTheTablesThatFailed)
{
    CInstalledProgram program;
    const char* ddl = "CREATE TABLE ALPHA (ID INTEGER, S VARCHAR(10)); CREATE TABLE BETA (ID INTEGER, S VARCHAR(10));"
                      "CREATE TABLE GAMMA (ID INTEGER, S VARCHAR(10));";
    CWatchedDatabase source(std::string(ddl) + "INSERT INTO ALPHA VALUES (1, 'one'); INSERT INTO BETA VALUES (1, "
                                               "'too long'); INSERT INTO BETA VALUES (2, 'ok');"
                                               "INSERT INTO GAMMA VALUES (1, 'three');",
                            On("source.fdb"));
    CTempDatabase dest("CREATE TABLE ALPHA (ID INTEGER, S VARCHAR(10)); CREATE TABLE BETA (ID INTEGER, S VARCHAR(3));"
                       "CREATE TABLE GAMMA (ID INTEGER, S VARCHAR(10));",
                       On("dest.fdb"));
    CTempDatabase other(ddl, On("other.fdb"));

    // Nothing recorded yet: said, and nothing done.
    SRunResult result = program.Run(With({"--retry-failed"}, CopyArguments(source, dest)));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(Contains(result.err, "No tables that failed are recorded for the destination database " + dest.Name() +
                                         ": nothing to copy again."))
        << result.err;
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM ALPHA"), "0");

    result = program.Run(CopyArguments(source, dest));
    ASSERT_EQ(result.exitCode, 1) << result.err;
    ASSERT_TRUE(Contains(result.out, "BETA copy failed.")) << result.out;

    // The cause is mended; ALPHA changes in the source, which a retry must not carry.
    dest.Run("ALTER TABLE BETA ALTER S TYPE VARCHAR(10);");
    source.Run("UPDATE ALPHA SET S = 'changed';");
    // A check of the retry reads only the failed table.
    result = program.Run(With({"--check", "--retry-failed"}, CopyArguments(source, dest)));
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(Contains(result.out, "\nBETA: fine")) << result.out;
    EXPECT_FALSE(Contains(result.out, "ALPHA")) << result.out;
    // Another destination has nothing recorded.
    result = program.Run(With({"--retry-failed"}, CopyArguments(source, other)));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(other.Scalar("SELECT COUNT(*) FROM ALPHA"), "0");

    result = program.Run(With({"--retry-failed"}, CopyArguments(source, dest)));
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("Run log: ")), "BETA copy successful.\n");
    EXPECT_TRUE(Contains(result.err, "Copying again the tables that failed in the last run: BETA")) << result.err;
    EXPECT_EQ(dest.Scalar("SELECT S FROM ALPHA"), "one");
    EXPECT_EQ(dest.Query("SELECT ID, S FROM BETA ORDER BY ID"), source.Query("SELECT ID, S FROM BETA ORDER BY ID"));

    // The retry went well: nothing is left to retry.
    result = program.Run(With({"--retry-failed"}, CopyArguments(source, dest)));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(Contains(result.err, "nothing to copy again")) << result.err;
    EXPECT_EQ(dest.Scalar("SELECT S FROM ALPHA"), "one");

    // The tables are its own choice.
    result = program.Run(With({"--retry-failed", "--tables", "ALPHA"}, CopyArguments(source, dest)));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, "--retry-failed chooses its tables itself")) << result.err;
}

TEST_P(ScriptedRun, ReportDescribesEachTableOfTheRunForAProgram)
{
    const char* ddl = "CREATE TABLE ALPHA (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10));"
                      "CREATE TABLE BETA (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10));"
                      "CREATE TABLE EMPTY_ONE (ID INTEGER);";
    for (const std::string target : {"file", "-"})
    {
        SCOPED_TRACE(target);
        CInstalledProgram program;
        CWatchedDatabase source(std::string(ddl) + "INSERT INTO ALPHA VALUES (1, 'one'); INSERT INTO ALPHA VALUES "
                                                   "(2, 'two'); INSERT INTO BETA VALUES (1, 'too long');"
                                                   "INSERT INTO BETA VALUES (2, 'ok');",
                                On("source.fdb"));
        CTempDatabase dest("CREATE TABLE ALPHA (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(10));"
                           "CREATE TABLE BETA (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(3));"
                           "CREATE TABLE EMPTY_ONE (ID INTEGER); INSERT INTO EMPTY_ONE VALUES (5);",
                           On("dest.fdb"));
        const std::string path = target == "-" ? "-" : program.ProgramFolder().File("report.json");
        const SRunResult result = program.Run(With({"--report", path}, CopyArguments(source, dest)));
        EXPECT_EQ(result.exitCode, 1) << result.err;
        QJsonObject report;
        ASSERT_TRUE(IsValidReport(ReadReport(result, path), report));
        // With the report on standard output the usual lines go to standard error.
        const std::string& lines = target == "-" ? result.err : result.out;
        EXPECT_TRUE(Contains(lines, "ALPHA copy successful.\nBETA copy failed.\n")) << lines;

        EXPECT_EQ(report.value("mode").toString(), "copy");
        EXPECT_EQ(report.value("exit_code").toInt(), result.exitCode);
        EXPECT_EQ(report.value("program_version").toString(), "Version 1.600 (09.01.2019)");
        EXPECT_EQ(report.value("source").toObject().value("database").toString().toStdString(), source.Name());
        EXPECT_EQ(report.value("destination").toObject().value("user").toString().toStdString(), TestUser);
        EXPECT_LE(report.value("started").toString(), report.value("ended").toString());
        EXPECT_EQ(TableField(report), (std::map<std::string, std::string>{
                                          {"ALPHA", "copied"}, {"BETA", "failed"}, {"EMPTY_ONE", "empty_source"}}));
        EXPECT_EQ(TableField(report, "rows_written"),
                  (std::map<std::string, std::string>{{"ALPHA", "2"}, {"BETA", "1"}, {"EMPTY_ONE", "0"}}));
        EXPECT_EQ(TableField(report, "rows_failed"),
                  (std::map<std::string, std::string>{{"ALPHA", "0"}, {"BETA", "1"}, {"EMPTY_ONE", "0"}}));
        const QJsonArray tables = report.value("tables").toArray();
        const QJsonObject alpha = tables.at(0).toObject();
        EXPECT_EQ(alpha.value("verification").toObject().value("result").toString(), "identical");
        EXPECT_EQ(alpha.value("verification").toObject().value("identical_rows").toInt(), 2);
        EXPECT_TRUE(alpha.value("error").isNull());
        EXPECT_TRUE(tables.at(1).toObject().value("error").toString().contains("string right truncation"));
        EXPECT_TRUE(tables.at(2).toObject().value("verification").isNull());
        // The paths name files that are there.
        const QJsonObject logs = report.value("logs").toObject();
        for (const char* log : {"run", "sql", "data_text", "failed_records"})
            EXPECT_TRUE(FileExists(logs.value(QLatin1String(log)).toString().toStdString())) << log;
        EXPECT_TRUE(report.value("messages").toArray().contains(QJsonValue("Copy process failed")));
        // No password, whatever the field.
        EXPECT_FALSE(Contains(ReadReport(result, path), TestPassword));
        EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM EMPTY_ONE"), "1");
    }
}

TEST_P(ScriptedRun, ReportIsWrittenWhateverTheOutcomeAndForChecksAndComparisons)
{
    struct SCase
    {
        std::vector<std::string> options;
        int exitCode;
        const char* mode;
        std::map<std::string, std::string> statuses;
        const char* message; // part of one of the report's messages; empty: none expected
    };
    const SCase cases[] = {
        {{"--tables", "NOPE"}, 2, "copy", {}, "No table NOPE exists"},
        {{"--no-verify", "--tables", "LONE"}, 0, "copy", {{"LONE", "copied"}}, ""},
        // Without PARENT in the run, CHILD's rows would refer to keys the destination lacks.
        {{"--check", "--tables", "lone,CHILD"}, 1, "check", {{"CHILD", "fails"}, {"LONE", "fine"}}, ""},
        {{"--check", "--exclude", "LONE"}, 0, "check", {{"CHILD", "fine"}, {"PARENT", "fine"}}, ""},
        {{"--compare", "--exclude", "LONE"}, 1, "compare", {{"CHILD", "different"}, {"PARENT", "different"}}, ""},
        {{"--compare", "--tables", "NOPE"}, 2, "compare", {}, "No table NOPE exists"},
        {{"--retry-failed"}, 0, "copy", {}, "nothing to copy again"},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.options.front() + " " + c.options.back());
        CInstalledProgram program;
        CWatchedDatabase source(std::string(Ddl) + SourceRows, On("source.fdb"));
        CTempDatabase dest(std::string(Ddl) + OldRows, On("dest.fdb"));
        const std::string before = DatabaseFingerprint(dest.Name());
        std::vector<std::string> options = c.options;
        options.insert(options.begin(), {"--report", "-"});
        const SRunResult result = program.Run(With(options, CopyArguments(source, dest)));
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        QJsonObject report;
        ASSERT_TRUE(IsValidReport(result.out, report));
        EXPECT_EQ(report.value("mode").toString().toStdString(), c.mode);
        EXPECT_EQ(report.value("exit_code").toInt(), c.exitCode);
        EXPECT_EQ(TableField(report), c.statuses);
        EXPECT_EQ(report.value("options").toObject().value("verify").toBool(),
                  std::find(c.options.begin(), c.options.end(), "--no-verify") == c.options.end());
        bool said = *c.message == 0;
        for (const QJsonValue& message : report.value("messages").toArray())
            said = said || message.toString().contains(QString::fromUtf8(c.message));
        EXPECT_TRUE(said) << result.out;
        // Only a copy that ran writes, and only the chosen table.
        if (std::string(c.mode) != "copy" || c.statuses.empty())
            ExpectUnchanged(before, dest.Name(), "the destination database");
        else
            EXPECT_EQ(Names(dest), "old old l1");
    }
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, ScriptedRun, ::testing::Values(false, true), PathName);

TEST(ScriptedRunCommandLine, ReportsThatCannotBeWrittenStopTheRunBeforeItBegins)
{
    CInstalledProgram program;
    CWatchedDatabase source(std::string(Ddl) + SourceRows);
    CWatchedDatabase dest(std::string(Ddl) + OldRows);
    // The program's own records, which other runs rely on, are no report
    // either, whether they exist yet or not.
    AppendTextToFile(program.ConfigFolder() + "FailedTables.txt", "");
    for (const std::string& path :
         {program.ProgramFolder().File("no/such/folder/report.json"), dest.Path(), program.ProgramFolder().Path(),
          program.ConfigFolder() + "FailedTables.txt", program.ConfigFolder() + "TriggerJournal.txt",
          program.ConfigFolder() + "Rowmover.ini", program.ProgramFolder().File("update_error.txt"),
          program.ProgramFolder().File("update_error-2.txt"), program.ProgramFolder().File("temp_db_backup.fdb")})
    {
        const SRunResult result = program.Run(With({"--report", path}, CopyArguments(source, dest)));
        EXPECT_EQ(result.exitCode, 2) << path;
        EXPECT_TRUE(Contains(result.err, "rowmover: the report")) << result.err;
        EXPECT_EQ(result.out, "");
    }
    const SRunResult result = program.Run(With({"--report"}, CopyArguments(source, dest)));
    EXPECT_EQ(result.exitCode, 2);
    // CWatchedDatabase fails the test if the destination changed.
}

TEST(ScriptedRunCommandLine, HelpListsEveryOptionWithAnExample)
{
    CInstalledProgram program;
    const SRunResult help = program.Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--check", "--compare", "--tables", "--exclude", "--retry-failed", "--report",
                               "--source-charset", "--no-verify"})
    {
        const std::string example = std::string("      rowmover ") + option + " ";
        EXPECT_TRUE(Contains(help.out, example)) << option;
        EXPECT_TRUE(Contains(help.out, std::string("\n  ") + option)) << option;
    }
}

TEST(ScriptedRunCommandLine, TheWindowedRunChoosesTablesAndReportsToo)
{
    CInstalledProgram program;
    CTempDatabase source(std::string(Ddl) + SourceRows);
    CTempDatabase dest(std::string(Ddl) + OldRows);
    SLaunch launch;
    launch.environment = {{"QT_QPA_PLATFORM", "offscreen"}};
    const SRunResult result =
        program.Run(With({"--tables", "LONE", "--report", "-"}, CopyArguments(source, dest)), launch);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    QJsonObject report;
    ASSERT_TRUE(IsValidReport(result.out, report));
    EXPECT_EQ(TableField(report), (std::map<std::string, std::string>{{"LONE", "copied"}}));
    EXPECT_TRUE(Contains(result.err, "LONE copy successful.")) << result.err;
    EXPECT_EQ(Names(dest), "old old l1");
}
