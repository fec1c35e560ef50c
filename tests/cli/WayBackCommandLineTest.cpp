// The run's copies of its databases: where they go, which are made, that a
// way back restores to the old rows, and what is left for the next run.
#include "InstalledProgram.h"

#include "copy/safety/CTriggerJournal.h"
#include "core/FileHelpers.h"
#include "support/DatabaseFingerprint.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
class WayBack : public ProgramOnEitherPath
{
};

// The files in folder whose names hold part.
std::vector<std::string> FilesWith(const std::string& folder, const std::string& part)
{
    std::vector<std::string> found;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored))
    {
        if (entry.is_regular_file(ignored) && Contains(entry.path().filename().string(), part))
            found.push_back(entry.path().string());
    }
    return found;
}

std::string Command(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r"))
    {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

// Rows of a database as isql-fb prints them: a reader apart from the program.
std::string IsqlRows(const std::string& database, const std::string& sql)
{
    CTempFolder folder;
    AppendTextToFile(folder.File("q.sql"), "SET LIST ON; " + sql + "\n");
    return Command(std::string("isql-fb -q -u ") + TestUser + " -p " + TestPassword + " '" + database + "' -i " +
                   folder.File("q.sql"));
}

// The test server's own folder, where its databases.conf lives.
std::string ServerRoot()
{
    const char* root = std::getenv("ROWMOVER_FB_ROOT");
    return root && *root ? std::string(root) + "/" : "/tmp/rowmover-fbserver-" + std::to_string(::getuid()) + "/";
}

// An alias in the test server's databases.conf for as long as it lives.
class CServerAlias
{
  public:
    CServerAlias(const std::string& name, const std::string& file) : m_sConf(ServerRoot() + "databases.conf")
    {
        m_sBefore = ReadWholeFile(m_sConf);
        std::ofstream(m_sConf, std::ios::app) << "\n" << name << " = " << file << "\n";
    }
    ~CServerAlias() { std::ofstream(m_sConf, std::ios::trunc) << m_sBefore; }

  private:
    std::string m_sConf;
    std::string m_sBefore;
};
} // namespace

TEST_P(WayBack, NoBackupAndFoldersOfTheirOwnAreTakenFromTheCommandLine)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);", On("source.fdb"));
    CTempDatabase dest("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (2);", On("dest.fdb"));
    CTempFolder places;
    const std::string logs = places.File("logs");
    const std::string copies = places.File("copies");

    // --no-backup: the source is not copied, the destination still is, and the run says so.
    SRunResult result = program.Run({"--no-backup", "--log-dir", logs, "--backup-dir", copies, source.Name(), TestUser,
                                     TestPassword, dest.Name(), TestUser, TestPassword});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.err, "This run makes no backup of the source database.")) << result.err;
    EXPECT_FALSE(Contains(result.err, "keeps no copy of the destination")) << result.err;
    EXPECT_EQ(FilesWith(logs, "_log.txt").size(), 1u);
    EXPECT_EQ(FilesWith(logs, "_sql.txt").size(), 1u);
    EXPECT_TRUE(FilesWith(source.Folder().Path(), "DB_copy_").empty());
    const std::string runLog = ReadWholeFile(FilesWith(logs, "_log.txt").front());
    EXPECT_TRUE(Contains(runLog, "Destination database as it was before the run copied while the engine held the file "
                                 "still (backup lock) (" +
                                     copies + "/temp_db_backup_"))
        << runLog;
    EXPECT_TRUE(Contains(runLog, "Disk use of this run: ")) << runLog;
    EXPECT_TRUE(Contains(result.out, "This run wrote ")) << result.out;
    // A run without a failure removes its way back.
    EXPECT_TRUE(FilesWith(copies, "temp_db_backup_").empty());

    // With a backup, it goes to the folder of the copies.
    result = program.Run({"--backup-dir", copies, "--log-dir", logs, source.Name(), TestUser, TestPassword, dest.Name(),
                          TestUser, TestPassword});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> backups = FilesWith(copies, ".fdb");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(DatabaseFingerprint(backups.front()), source.ExpectedFingerprint());

    // --no-way-back as well: nothing is copied, and the run says so.
    result = program.Run({"--no-backup", "--no-way-back", "--log-dir", logs, source.Name(), TestUser, TestPassword,
                          dest.Name(), TestUser, TestPassword});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.err, "This run keeps no copy of the destination database as it was before the copy"))
        << result.err;
    EXPECT_TRUE(FilesWith(program.ProgramFolder().Path(), "temp_db_backup_").empty());
}

TEST_P(WayBack, TheFilesOfARunAreTheOwnersAlone)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (NULL);", On("source.fdb"));
    CTempDatabase dest("CREATE TABLE T (ID INTEGER NOT NULL);", On("dest.fdb"));
    CTempFolder places;
    const SRunResult result = program.Run({"--report", places.File("report.json"), "--log-dir", places.File("logs"),
                                           "--backup-dir", places.File("copies"), source.Name(), TestUser, TestPassword,
                                           dest.Name(), TestUser, TestPassword});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    std::vector<std::string> files = FilesWith(places.Path(), "");
    for (const std::string& file : FilesWith(program.ProgramFolder().Path(), "update_error"))
        files.push_back(file);
    for (const std::string& file : FilesWith(program.ConfigFolder(), ".txt"))
        files.push_back(file);
    // The logs, the report, the backup, the kept way back, the failed
    // records' file and the failed-tables record.
    EXPECT_GE(files.size(), 8u);
    for (const std::string& file : files)
    {
        struct stat info
        {
        };
        ASSERT_EQ(::stat(file.c_str(), &info), 0) << file;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << file;
    }
}

// The destination named by an alias of the server: its file is not
// reachable by that name, so the server makes the way back; restored, it
// gives the old rows.
TEST(WayBackThroughServer, AnAliasedDestinationGetsAServerBackupThatRestoresToItsOldRows)
{
    REQUIRE_TEST_SERVER();
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER, S VARCHAR(10)); INSERT INTO T VALUES (1, 'new');"
                            "INSERT INTO T VALUES (NULL, 'bad');");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER NOT NULL, S VARCHAR(10)); INSERT INTO T VALUES (7, 'old');"
                       "INSERT INTO T VALUES (8, 'old');");
    const std::string alias = "rowmover_wayback_" + std::to_string(::getpid());
    const CServerAlias named(alias, dest.Path());
    const std::string destName = TestServer().prefix + alias;

    const SRunResult result =
        program.Run({"--no-backup", source.Name(), TestUser, TestPassword, destName, TestUser, TestPassword});
    // A row fails: the way back is kept beside the logs.
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(Contains(result.err, "The server made the copy of " + destName + " as a backup file: ")) << result.err;
    const std::vector<std::string> kept = FilesWith(source.Folder().Path(), "_destination_before.fbk");
    ASSERT_EQ(kept.size(), 1u) << result.err;
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM T"), "1");

    CTempFolder restored;
    const std::string target = TestServer().prefix + restored.File("restored.fdb");
    const std::string said = Command(std::string("gbak -c -user ") + TestUser + " -password " + TestPassword + " '" +
                                     kept.front() + "' '" + target + "'");
    const std::string rows = IsqlRows(target, "SELECT ID, S FROM T ORDER BY ID;");
    EXPECT_TRUE(Contains(rows, "ID                              7\nS                               old"))
        << said << rows;
    EXPECT_TRUE(Contains(rows, "ID                              8\nS                               old")) << rows;
    EXPECT_FALSE(Contains(rows, "new")) << rows;
}

// A run killed while it held a database still for its copy leaves the
// database in backup state (its changes pile up in a delta file); the next
// run finds it, ends it, and says so.
TEST_P(WayBack, ABackupLockAKilledRunLeftIsEndedByTheNextRun)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);", On("source.fdb"));
    CTempDatabase dest("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (2);", On("dest.fdb"));
    // What the killed run left: the lock, and its note of the database.
    dest.Run("ALTER DATABASE BEGIN BACKUP;");
    ASSERT_EQ(dest.Scalar("SELECT MON$BACKUP_STATE FROM MON$DATABASE"), "1");
    const std::string identity = dest.Scalar("SELECT MON$DATABASE_NAME FROM MON$DATABASE") + "|" +
                                 dest.Scalar("SELECT MON$CREATION_DATE FROM MON$DATABASE");
    std::filesystem::create_directories(program.ConfigFolder());
    AppendTextToFile(program.ConfigFolder() + "BackupLock_999999.txt",
                     "999999:1@" + CTriggerJournal::ThisProcess().substr(CTriggerJournal::ThisProcess().find('@') + 1) +
                         "\t" + identity + "\t" + dest.Name() + "\r\n");

    const SRunResult result = program.Run(CopyArguments(source, dest));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.err, "A copy that was killed left " + dest.Name() + " locked for its backup"))
        << result.err;
    EXPECT_EQ(dest.Scalar("SELECT MON$BACKUP_STATE FROM MON$DATABASE"), "0");
    EXPECT_EQ(dest.Scalar("SELECT ID FROM T"), "1");
    const std::vector<std::string> logs = FilesWith(source.Folder().Path(), "_log.txt");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(Contains(ReadWholeFile(logs.front()), "left this database locked for its backup"))
        << ReadWholeFile(logs.front());
    EXPECT_FALSE(FileExists(program.ConfigFolder() + "BackupLock_999999.txt"));
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, WayBack, ::testing::Values(false, true), PathName);

TEST(WayBackOptions, FoldersWithoutANameAreRefusedAndTheUsageNamesEveryOption)
{
    CInstalledProgram program;
    const struct
    {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"--backup-dir"}, "rowmover: --backup-dir needs a folder"},
        {{"--log-dir="}, "rowmover: --log-dir needs a folder"},
        {{"--backup-dir", "", "a", "b", "c", "d", "e", "f"}, "rowmover: --backup-dir needs a folder"},
        {{"--no-backups", "a", "b", "c", "d", "e", "f"}, "rowmover: unknown option --no-backups"},
    };
    for (const auto& test : cases)
    {
        const SRunResult result = program.Run(test.arguments);
        EXPECT_EQ(result.exitCode, 2) << test.message;
        EXPECT_TRUE(Contains(result.err, test.message)) << result.err;
    }
    const SRunResult help = program.Run({"--help"});
    for (const char* option : {"--no-backup", "--no-way-back", "--backup-dir DIR", "--log-dir DIR"})
        EXPECT_TRUE(Contains(help.out, option)) << option;
}
