#include "copy/run/CCopyEngine.h"
#include "copy/safety/CTriggerJournal.h"
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"
#include "support/DatabaseFingerprint.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char day[16];
    std::strftime(day, sizeof day, "%Y%m%d", &local);
    return day;
}

// ReadWholeFile stops at the first zero byte; database files are full of them.
std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct SPrepared
{
    CWatchedDatabase source{"CREATE TABLE T (ID INTEGER);"};
    CTempDatabase dest{"CREATE TABLE T (ID INTEGER);"};
    CTempFolder program;
    CCopyEngine engine;
    SPrepared() { engine.Init(TestUser, TestPassword, 1); }
};
} // namespace

TEST(PrepareCopy, NamesTheRunFolderLogsAndBackupsAfterTheSource)
{
    SPrepared run;
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", true, run.program.Path(), false), 0);
    const std::string folder = run.source.Folder().Path() + "DB_copy_" + Today();
    EXPECT_TRUE(DirectoryExists(folder));
    const std::string stamp = run.engine.Settings().files.runLog.substr(folder.size() + 1, 14);
    EXPECT_EQ(stamp.substr(0, 8), Today());
    EXPECT_EQ(run.engine.Settings().files.runLog, folder + "/" + stamp + "_log.txt");
    EXPECT_EQ(run.engine.Settings().files.sqlLog, folder + "/" + stamp + "_sql.txt");
    EXPECT_EQ(run.engine.Settings().files.textLog, folder + "/" + stamp + "_txt.txt");
    EXPECT_EQ(run.engine.Settings().files.sourceBackup, folder + "/" + stamp + ".fdb");
    EXPECT_EQ(run.engine.Settings().files.errorReport, run.program.Path() + "update_error.txt");
    // The destination's copy is named after the run's time and process.
    EXPECT_TRUE(run.engine.Settings().files.destinationCopy.starts_with(run.program.Path() + "temp_db_backup_" + stamp +
                                                                        "_" + std::to_string(getpid()) + "_"))
        << run.engine.Settings().files.destinationCopy;
    EXPECT_TRUE(run.engine.Settings().files.destinationCopy.ends_with(".fdb"));
    EXPECT_EQ(DatabaseFingerprint(run.engine.Settings().files.sourceBackup), DatabaseFingerprint(run.source.Path()));
    EXPECT_EQ(DatabaseFingerprint(run.engine.Settings().files.destinationCopy), DatabaseFingerprint(run.dest.Path()));
    // The run log is made at once, empty, to hold its name; the others wait
    // for the copy to write to them.
    EXPECT_EQ(FileBytes(run.engine.Settings().files.runLog), "");
    EXPECT_FALSE(FileExists(run.engine.Settings().files.sqlLog));
    // A second run prepared in the same second takes names of its own.
    const std::string first = run.engine.Settings().files.runLog;
    const std::string firstBackup = run.engine.Settings().files.sourceBackup;
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", true, run.program.Path(), false), 0);
    EXPECT_NE(run.engine.Settings().files.runLog, first);
    EXPECT_NE(run.engine.Settings().files.sourceBackup, firstBackup);
    if (run.engine.Settings().files.runLog.substr(0, folder.size() + 15) == first.substr(0, folder.size() + 15))
    {
        EXPECT_EQ(run.engine.Settings().files.runLog, folder + "/" + stamp + "-2_log.txt");
    }
}

TEST(PrepareCopy, ASourceNamedWithoutAFolderHasItsRunFolderInTheCurrentOne)
{
    // Not "source.fdbDB_copy_..." beside it.
    SPrepared run;
    const std::string folder = run.source.Folder().Path();
    char previous[4096] = {};
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(folder.c_str()), 0);
    const int prepared = run.engine.PrepareCopy(run.source.Path().substr(folder.size()), "", "", run.dest.Name(), "",
                                                "", true, run.program.Path(), false);
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_EQ(prepared, 0);
    EXPECT_TRUE(DirectoryExists(folder + "DB_copy_" + Today()));
    EXPECT_EQ(run.engine.Settings().files.runLog.substr(0, 19), "./DB_copy_" + Today() + "/");
}

TEST(PrepareCopy, TemporaryDestinationCopyIsMadeWithoutBackupAndRemovedWithTheEngine)
{
    std::string tempCopy;
    SPrepared run;
    {
        CCopyEngine engine;
        engine.Init(TestUser, TestPassword, 1);
        ASSERT_EQ(
            engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", false, run.program.Path(), false),
            0);
        EXPECT_FALSE(FileExists(engine.Settings().files.sourceBackup));
        tempCopy = engine.Settings().files.destinationCopy;
        EXPECT_TRUE(FileExists(tempCopy));
    }
    EXPECT_FALSE(FileExists(tempCopy));
}

TEST(PrepareCopy, ADatabaseInSeveralFilesGetsTheEnginesBackupNotACopyOfItsPrimaryFile)
{
    // The primary file names its secondary file: a copy of it alone would
    // read the live secondary file, a backup that is none.
    SPrepared run;
    run.dest.Run("ALTER DATABASE ADD FILE '" + run.dest.Folder().File("dest.fd2") + "' STARTING AT 2000;");
    ASSERT_EQ(run.dest.Scalar("SELECT COUNT(*) FROM RDB$FILES"), "1");
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", true, run.program.Path(), false), 0);
    EXPECT_TRUE(run.engine.Preparation().BackupMade());
    // The engine's own backup takes every file of it.
    EXPECT_TRUE(run.engine.Preparation().DestinationCopyMade()) << run.engine.Preparation().DestinationCopyError();
    EXPECT_EQ(run.engine.Preparation().DestinationCopyKind(), ECopyKind::ServerBackup);
    EXPECT_TRUE(run.engine.Settings().files.destinationCopy.ends_with(".fbk"));
    EXPECT_GT(FileSize(run.engine.Settings().files.destinationCopy), 0);
}

TEST(PrepareCopy, ADifferenceFileGivesACopyOfTheFileAndABackupStateOfAnothersTheServersBackup)
{
    // A difference file named for the backup lock is no file of the
    // database's own: the primary file is copied under the lock.
    {
        SPrepared run;
        run.dest.Run("ALTER DATABASE ADD DIFFERENCE FILE '" + run.dest.Folder().File("dest.dif") + "';");
        ASSERT_EQ(run.dest.Scalar("SELECT COUNT(*) FROM RDB$FILES"), "1");
        ASSERT_EQ(
            run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", true, run.program.Path(), false),
            0);
        EXPECT_TRUE(run.engine.Preparation().DestinationCopyMade()) << run.engine.Preparation().DestinationCopyError();
        EXPECT_EQ(run.engine.Preparation().DestinationCopyKind(), ECopyKind::LockedFile);
        EXPECT_EQ(DatabaseFingerprint(run.engine.Settings().files.destinationCopy),
                  DatabaseFingerprint(run.dest.Path()));
    }
    // Under a backup lock somebody else holds (nbackup -L), the primary file
    // lacks what was committed since: the server's backup has it.
    SPrepared run;
    run.dest.Run("ALTER DATABASE BEGIN BACKUP;");
    run.dest.Run("INSERT INTO T VALUES (7);");
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", true, run.program.Path(), false), 0);
    EXPECT_TRUE(run.engine.Preparation().DestinationCopyMade()) << run.engine.Preparation().DestinationCopyError();
    EXPECT_EQ(run.engine.Preparation().DestinationCopyKind(), ECopyKind::ServerBackup);
    EXPECT_EQ(run.dest.Scalar("SELECT MON$BACKUP_STATE FROM MON$DATABASE"), "1");
    run.dest.Run("ALTER DATABASE END BACKUP;");
    const std::string restored = run.program.File("restored.fdb");
    const std::string restore = std::string("gbak -c -user ") + TestUser + " -password " + TestPassword + " '" +
                                run.engine.Settings().files.destinationCopy + "' '" + restored + "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(restore.c_str()), 0);
    EXPECT_EQ(DatabaseFingerprint(restored), DatabaseFingerprint(run.dest.Path()));
}

TEST(PrepareCopy, CopiesRunningTogetherKeepTheirOwnDestinationCopyAndFailureList)
{
    SPrepared run;
    CTempDatabase otherDest("CREATE TABLE T (ID INTEGER); CREATE TABLE ONLY_HERE (ID INTEGER);");
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", false, run.program.Path(), false),
        0);
    const SRunFiles first = run.engine.Settings().files;
    AppendTextToFile(first.errorReport, "T\r\n");
    std::string besideCopy;
    {
        // Another copy from the same program folder starts while the first runs.
        CCopyEngine beside;
        beside.Init(TestUser, TestPassword, 1);
        ASSERT_EQ(
            beside.PrepareCopy(run.source.Name(), "", "", otherDest.Name(), "", "", false, run.program.Path(), false),
            0);
        besideCopy = beside.Settings().files.destinationCopy;
        EXPECT_NE(besideCopy, first.destinationCopy);
        EXPECT_EQ(beside.Settings().files.errorReport, run.program.Path() + "update_error-2.txt");
        EXPECT_EQ(DatabaseFingerprint(besideCopy), DatabaseFingerprint(otherDest.Path()));
        // The first run's way back and failure list are its own still.
        EXPECT_EQ(ReadWholeFile(first.errorReport), "T\r\n");
        const std::string kept = run.engine.Preparation().KeepDestinationCopy();
        ASSERT_FALSE(kept.empty());
        EXPECT_EQ(DatabaseFingerprint(kept), DatabaseFingerprint(run.dest.Path()));
        EXPECT_NE(DatabaseFingerprint(kept), DatabaseFingerprint(otherDest.Path()));
    }
    EXPECT_FALSE(FileExists(besideCopy));
    // The first engine's next run keeps the plain names.
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", false, run.program.Path(), false),
        0);
    EXPECT_EQ(run.engine.Settings().files.errorReport, run.program.Path() + "update_error.txt");
}

TEST(PrepareCopy, ADatabaseOpenedFromTheProgramFolderIsNeverWrittenOver)
{
    // The previous run's copy of the destination, opened as the source to
    // copy its rows back, or as the destination.
    SPrepared run;
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", false, run.program.Path(), false),
        0);
    const std::string previous = run.engine.Settings().files.destinationCopy;
    const auto inode = [](const std::string& path) {
        struct stat info
        {
        };
        return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
    };
    const auto kept = inode(previous);
    ASSERT_NE(kept, 0u);
    for (const bool sameEngine : {true, false})
    {
        CCopyEngine other;
        other.Init(TestUser, TestPassword, 1);
        CCopyEngine& engine = sameEngine ? run.engine : other;
        ASSERT_EQ(engine.PrepareCopy(previous, "", "", run.dest.Name(), "", "", false, run.program.Path(), false), 0);
        EXPECT_EQ(inode(previous), kept);
        EXPECT_NE(engine.Settings().files.destinationCopy, previous);
        EXPECT_TRUE(DatabaseFingerprint(engine.Settings().files.destinationCopy) ==
                    DatabaseFingerprint(run.dest.Path()));
        ASSERT_EQ(engine.PrepareCopy(run.source.Name(), "", "", previous, "", "", false, run.program.Path(), false), 0);
        EXPECT_EQ(inode(previous), kept);
        EXPECT_NE(engine.Settings().files.destinationCopy, previous);
        EXPECT_TRUE(DatabaseFingerprint(engine.Settings().files.destinationCopy) == DatabaseFingerprint(previous));
    }
    EXPECT_EQ(inode(previous), kept);
}

TEST(PrepareCopy, TheKeptDestinationCopyOutlivesTheNextRunWithoutARunFolder)
{
    SPrepared run;
    // A file where the run folder would go: the logs are lost, not the copy.
    AppendTextToFile(run.source.Folder().Path() + "DB_copy_" + Today(), "in the way");
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", false, run.program.Path(), false),
        0);
    const std::string kept = run.engine.Preparation().KeepDestinationCopy();
    EXPECT_EQ(kept.substr(0, run.program.Path().size()), run.program.Path());
    EXPECT_NE(kept.find("_destination_before.fdb"), std::string::npos) << kept;
    EXPECT_TRUE(DatabaseFingerprint(kept) == DatabaseFingerprint(run.dest.Path()));
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", false, run.program.Path(), false),
        0);
    EXPECT_TRUE(FileExists(kept));
}

TEST(PrepareCopy, CheckOnlyTouchesNoFilesButMakesTheDestinationWritable)
{
    SPrepared run;
    AppendTextToFile(run.program.File("update_error.txt"), "old report");
    // The source is never changed, its mode neither: a file the engine cannot
    // open for writing is reported, not made writable.
    struct stat info
    {
    };
    ::chmod(run.source.Path().c_str(), 0440);
    EXPECT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", true, run.program.Path(), true), 1);
    ::stat(run.source.Path().c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0440u);
    ::chmod(run.source.Path().c_str(), 0640);
    ::chmod(run.dest.Path().c_str(), 0440);
    EXPECT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", true, run.program.Path(), true), 0);
    EXPECT_FALSE(DirectoryExists(run.source.Folder().Path() + "DB_copy_" + Today()));
    EXPECT_EQ(ReadWholeFile(run.program.File("update_error.txt")), "old report");
    ::stat(run.dest.Path().c_str(), &info);
    EXPECT_NE(info.st_mode & S_IWUSR, 0u);
    // A full preparation removes the previous report.
    EXPECT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", false, run.program.Path(), false),
        0);
    EXPECT_FALSE(FileExists(run.program.File("update_error.txt")));
}

TEST(PrepareCopy, EmptyCredentialsTakeTheDefaults)
{
    SPrepared run;
    run.engine.Init("SYSDBA", TestPassword, 2);
    EXPECT_EQ(run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "sysdba", "", false,
                                     run.program.Path(), true),
              0);
    EXPECT_EQ(run.engine.Settings().source.user, "SYSDBA");
    EXPECT_EQ(run.engine.Settings().source.password, TestPassword);
    EXPECT_EQ(run.engine.Settings().dest.user, "sysdba");
    EXPECT_EQ(run.engine.Settings().dest.password, TestPassword);
}

TEST(PrepareCopy, UnattachableDatabasesGiveOneOrTwo)
{
    SPrepared run;
    const std::string missing = run.program.File("missing.fdb");
    EXPECT_EQ(run.engine.PrepareCopy(missing, "", "", run.dest.Name(), "", "", false, run.program.Path(), false), 1);
    EXPECT_EQ(run.engine.Settings().source.database, missing);
    EXPECT_EQ(run.engine.PrepareCopy(run.source.Name(), "", "", missing, "", "", false, run.program.Path(), false), 2);
    EXPECT_TRUE(run.engine.Settings().files.runLog.empty());
    // A file that is not a database at all.
    AppendTextToFile(run.program.File("notes.fdb"), "just text");
    EXPECT_EQ(run.engine.PrepareCopy(run.program.File("notes.fdb"), "", "", run.dest.Name(), "", "", false,
                                     run.program.Path(), false),
              1);
    EXPECT_EQ(ReadWholeFile(run.program.File("notes.fdb")), "just text");
}

TEST(PrepareCopy, SourceNameWithoutExtensionGivesPlainNames)
{
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER);", CTempDatabase::SOptions{"UTF8", false, "noext"});
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);");
    CTempFolder program;
    CCopyEngine engine;
    engine.Init(TestUser, TestPassword, 1);
    ASSERT_EQ(engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", true, program.Path(), false), 0);
    const std::string copy = engine.Settings().files.destinationCopy;
    EXPECT_EQ(copy.substr(0, program.Path().size() + 15), program.Path() + "temp_db_backup_");
    EXPECT_EQ(copy.find('.', program.Path().size()), std::string::npos) << copy;
    EXPECT_EQ(engine.Settings().files.sourceBackup.size(), engine.Settings().files.runLog.size() - 8);
}

TEST(PrepareCopy, ServerNamesGiveTheLocalFileForFoldersAndBackups)
{
    REQUIRE_TEST_SERVER();
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER);", CTempDatabase::SOptions{"UTF8", true, "s.fdb"});
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);", CTempDatabase::SOptions{"UTF8", true, "d.fdb"});
    CTempFolder program;
    CCopyEngine engine;
    engine.Init(TestUser, TestPassword, 1);
    ASSERT_EQ(engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", true, program.Path(), false), 0);
    EXPECT_EQ(engine.Settings().source.database, source.Name());
    EXPECT_TRUE(DirectoryExists(source.Folder().Path() + "DB_copy_" + Today()));
    EXPECT_TRUE(FileExists(engine.Settings().files.sourceBackup));
    EXPECT_TRUE(FileExists(engine.Settings().files.destinationCopy));
}

TEST(PrepareCopy, TheCopiesOfKilledRunsAreFoundAndKeptAndTheirHalfCopiesRemoved)
{
    SPrepared run;
    const std::string self = CTriggerJournal::ThisProcess(); // "pid:start@host"
    const std::string live =
        self.substr(0, self.find(':')) + "_" + self.substr(self.find(':') + 1, self.rfind('@') - self.find(':') - 1);
    // No process has a number that large.
    const std::string dead = "2147483000_77";
    const struct
    {
        std::string name;
        bool found; // said to be a killed run's copy
        bool kept;
    } files[] = {{"temp_db_backup_20200101000000_" + dead + ".fdb", true, true},
                 {"temp_db_backup_20200101000000_" + dead + "-2", true, true},
                 {"temp_db_backup_20200101000000_" + dead + ".fdb.partial", false, false},
                 {"temp_db_backup_20200101000000_" + live + ".fdb", false, true},
                 {"temp_db_backup_20200101000000_" + live + ".fdb.partial", false, true},
                 {"temp_db_backup.fdb", true, true},
                 {"temp_db_backup-3.gdb", true, true},
                 {"temp_db_backup-x.fdb", false, true},
                 {"20200101000000_destination_before.fdb", false, true}};
    std::vector<std::string> expected;
    for (const auto& file : files)
    {
        AppendTextToFile(run.program.File(file.name), "rows");
        if (file.found)
            expected.push_back(run.program.File(file.name));
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", false, run.program.Path(), false),
        0);
    EXPECT_EQ(run.engine.Preparation().KilledRunCopies(), expected);
    for (const auto& file : files)
        EXPECT_EQ(FileExists(run.program.File(file.name)), file.kept) << file.name;
    // This run's own copy is none of them, and the next run of the engine
    // finds the same ones.
    EXPECT_TRUE(DatabaseFingerprint(run.engine.Settings().files.destinationCopy) ==
                DatabaseFingerprint(run.dest.Path()));
    ASSERT_EQ(
        run.engine.PrepareCopy(run.source.Name(), "", "", run.dest.Name(), "", "", false, run.program.Path(), false),
        0);
    EXPECT_EQ(run.engine.Preparation().KilledRunCopies(), expected);
}
