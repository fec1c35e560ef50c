// Copies of whole databases: under the engine's backup lock, and as the
// server's backup streamed here; what a full disk and a refusal leave.
#include "CopyFixture.h"

#include "copy/DatabaseCopy.h"
#include "db/CFbConnection.h"

#include <sys/mount.h>
#include <sys/stat.h>

namespace
{
class DatabaseCopy : public EmbeddedOrServer
{
  protected:
    // Rows enough for a backup of several transfers (each at most 64 KB).
    static std::string Filled()
    {
        return "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(100));"
               "SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 20000) DO BEGIN "
               "INSERT INTO T VALUES (:I, LPAD(:I, 100, 'x')); I = I + 1; END END^ SET TERM ; ^";
    }
    SDatabaseLogin Login(const CTempDatabase& db, const std::string& user = TestUser,
                         const std::string& password = TestPassword) const
    {
        return {db.Name(), user, password};
    }
};

// A small file system of its own, for a disk that fills up.
class CSmallDisk
{
  public:
    explicit CSmallDisk(int kilobytes)
    {
        const std::string options = "size=" + std::to_string(kilobytes) + "k";
        m_bMounted = ::mount("tmpfs", m_folder.Path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~CSmallDisk()
    {
        if (m_bMounted)
            ::umount2(m_folder.Path().c_str(), MNT_DETACH);
    }
    CSmallDisk(const CSmallDisk&) = delete;
    CSmallDisk& operator=(const CSmallDisk&) = delete;
    bool Mounted() const { return m_bMounted; }
    std::string File(const std::string& name) const { return m_folder.File(name); }

  private:
    CTempFolder m_folder;
    bool m_bMounted = false;
};

// Restores a server's backup into a new file with the embedded engine.
bool Restore(const std::string& backup, const std::string& target)
{
    const std::string command = std::string("gbak -c -user ") + TestUser + " -password " + TestPassword + " '" +
                                backup + "' '" + target + "' > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string BackupState(const CTempDatabase& db)
{
    return db.Scalar("SELECT MON$BACKUP_STATE FROM MON$DATABASE");
}
} // namespace

TEST_P(DatabaseCopy, EitherWayGivesTheDatabaseAsItWasAndLeavesItInItsNormalState)
{
    CWatchedDatabase db(Filled(), OnPath(GetParam(), "db.fdb"));
    CTempFolder copies;
    std::string error;

    ASSERT_TRUE(CopyLockedFile(Login(db), db.Path(), copies.File("locked.fdb"), 1, error)) << error;
    EXPECT_EQ(BackupState(db), "0");
    EXPECT_EQ(DatabaseFingerprint(copies.File("locked.fdb")), db.ExpectedFingerprint());
    // The copy is a database of its own: no delta file of the original is needed.
    EXPECT_FALSE(FileExists(db.Path() + ".delta"));

    ASSERT_TRUE(BackupThroughServer(Login(db), copies.File("server.fbk"), error)) << error;
    EXPECT_GT(FileSize(copies.File("server.fbk")), 64 * 1024);
    ASSERT_TRUE(Restore(copies.File("server.fbk"), copies.File("restored.fdb")));
    EXPECT_EQ(DatabaseFingerprint(copies.File("restored.fdb")), db.ExpectedFingerprint());
    EXPECT_EQ(DatabaseSize(Login(db), 1) > 0, true);
}

TEST_P(DatabaseCopy, AFullDiskDuringEitherCopyLeavesNoHalfCopyAndTheDatabaseAsItWas)
{
    CWatchedDatabase db(Filled(), OnPath(GetParam(), "db.fdb"));
    CSmallDisk disk(256);
    if (!disk.Mounted())
        GTEST_SKIP() << "a small tmpfs file system cannot be mounted here (needs root and mount rights)";
    std::string error;
    EXPECT_FALSE(CopyLockedFile(Login(db), db.Path(), disk.File("locked.fdb"), 1, error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(FileExists(disk.File("locked.fdb")));
    // The lock is ended whatever became of the copy.
    EXPECT_EQ(BackupState(db), "0");
    error.clear();
    EXPECT_FALSE(BackupThroughServer(Login(db), disk.File("server.fbk"), error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(FileExists(disk.File("server.fbk")));
    EXPECT_EQ(BackupState(db), "0");
}

TEST_P(DatabaseCopy, AUserTheServerRefusesTheBackupGetsNoCopyAndTheReason)
{
    CWatchedDatabase db("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);", OnPath(GetParam(), "db.fdb"));
    // A user of the server's without rights on the database.
    if (GetParam())
    {
        CFbConnection admin(1);
        ASSERT_TRUE(admin.Connect(TestUser, TestPassword, db.Name()));
        int failure = 0;
        admin.Execute("CREATE OR ALTER USER WAYBACK_NOBODY PASSWORD 'nobody' USING PLUGIN Srp", failure);
    }
    CTempFolder copies;
    std::string error;
    EXPECT_FALSE(CopyLockedFile(Login(db, "WAYBACK_NOBODY", "nobody"), db.Path(), copies.File("locked.fdb"), 1, error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(FileExists(copies.File("locked.fdb")));
    error.clear();
    EXPECT_FALSE(BackupThroughServer(Login(db, "WAYBACK_NOBODY", "nobody"), copies.File("server.fbk"), error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(FileExists(copies.File("server.fbk")));
    EXPECT_EQ(BackupState(db), "0");
}

TEST_P(DatabaseCopy, TheRunAsksForRoomForItsCopiesAndLogsBeforeItWritesAnything)
{
    CWatchedDatabase source(Filled(), OnPath(GetParam(), "source.fdb"));
    CTempDatabase dest("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(100));",
                       OnPath(GetParam(), "dest.fdb"));
    CSmallDisk disk(512);
    if (!disk.Mounted())
        GTEST_SKIP() << "a small tmpfs file system cannot be mounted here (needs root and mount rights)";
    CTempFolder program;
    CCopyEngine engine;
    engine.Init(TestUser, TestPassword, 1);
    SRunPlaces places;
    places.logFolder = disk.File("logs");
    places.backupFolder = disk.File("copies");
    engine.SetPlaces(places);
    engine.PlanLogs({"T"}, ELogging::On);
    // The source's backup alone (some megabytes) does not fit.
    ASSERT_EQ(engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", true, program.Path(), false), 4);
    ASSERT_EQ(engine.SpaceShortages().size(), 1u);
    EXPECT_GT(engine.SpaceShortages()[0].needed, engine.SpaceShortages()[0].available);
    EXPECT_FALSE(DirectoryExists(disk.File("logs")));
    EXPECT_FALSE(DirectoryExists(disk.File("copies")));
    // The logs of 20000 rows take megabytes too.
    EXPECT_GT(engine.EstimateLogBytes({"T"}), 20000LL * 100);
    // Without backup, way back and logs nothing is asked of that disk.
    places.wayBack = false;
    engine.SetPlaces(places);
    engine.PlanLogs({"T"}, ELogging::Off);
    ASSERT_EQ(engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", false, program.Path(), false), 0);
    EXPECT_TRUE(engine.DestinationCopyMade());
    EXPECT_EQ(engine.DestinationCopyKind(), ECopyKind::None);
}

INSTANTIATE_TEST_SUITE_P(Paths, DatabaseCopy, ::testing::Bool(), PathName);
