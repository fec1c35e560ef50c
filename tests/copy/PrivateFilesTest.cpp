// Every file a run writes holds values of the databases: its owner alone
// may read it, whatever the umask.
#include "CopyFixture.h"

#include <sys/stat.h>

namespace
{
class PrivateFiles : public EmbeddedOrServer
{
};

unsigned ModeOf(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 01000;
}

// The usual umask of a desktop: new files readable by every user.
struct SUsualUmask
{
    mode_t previous = ::umask(022);
    ~SUsualUmask() { ::umask(previous); }
};
} // namespace

TEST_P(PrivateFiles, ARunsCopiesLogsAndRecordsAreTheOwnersAlone)
{
    const SUsualUmask umask;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER, NAME VARCHAR(10));"
                            "INSERT INTO T VALUES (1, 'one');"
                            "INSERT INTO T VALUES (NULL, 'two');",
                            OnPath(GetParam(), "source.fdb"));
    CTempDatabase dest("CREATE TABLE T (ID INTEGER NOT NULL, NAME VARCHAR(10));", OnPath(GetParam(), "dest.fdb"));
    CTempFolder program;
    CCopyEngine engine;
    engine.Init(TestUser, TestPassword, 1);
    engine.Journal().SetPath(program.File("TriggerJournal.txt"));
    engine.FailedTables().SetPath(program.File("FailedTables.txt"));
    ASSERT_EQ(engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", true, program.Path(), false), 0);
    ASSERT_TRUE(engine.Preparation().BackupMade());
    ASSERT_TRUE(engine.Preparation().DestinationCopyMade());
    CStringGrid grid;
    grid.SetSize(1, 1);
    grid.SetCell(0, 0, "T");
    const std::atomic<bool> never{false};
    const SCopyRunResult result = RunCopyJob(CCopyJob{&grid, &engine, ELogging::On, true, {}}, never, {});
    EXPECT_FALSE(result.allCopied);
    const SRunFiles& files = engine.Settings().files;
    const std::string kept = engine.Preparation().KeepDestinationCopy();
    for (const std::string& path : {files.runLog, files.sqlLog, files.textLog, files.errorReport, files.sourceBackup,
                                    kept, program.File("FailedTables.txt")})
    {
        ASSERT_TRUE(FileExists(path)) << path;
        EXPECT_EQ(ModeOf(path), 0600u) << path;
    }
}

TEST(PrivateFilesAlone, TheTriggerJournalIsTheOwnersAlone)
{
    const SUsualUmask umask;
    CTempFolder folder;
    CTriggerJournal journal;
    journal.SetPath(folder.File("TriggerJournal.txt"));
    ASSERT_TRUE(journal.Record({"db.fdb", "id"}, "T", {"T_BI"}));
    EXPECT_EQ(ModeOf(journal.Path()), 0600u);
}

INSTANTIATE_TEST_SUITE_P(Paths, PrivateFiles, ::testing::Bool(), PathName);
