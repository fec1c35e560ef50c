// Copies of whole databases: under the engine's backup lock, and as the
// server's backup streamed here; what a full disk and a refusal leave.
#include "CopyFixture.h"

#include "copy/prepare/DatabaseCopy.h"
#include "db/CFbConnection.h"

#include <atomic>
#include <chrono>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

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
    bool lockRefused = false;

    ASSERT_TRUE(CopyLockedFile(Login(db), db.Path(), copies.File("locked.fdb"), 1, error, lockRefused)) << error;
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

// Another attachment writes all the while: the copy is the database of one
// moment, whole, and the writer is never held up for long.
TEST_P(DatabaseCopy, ACopyUnderTheBackupLockIsWholeWhileAnotherAttachmentWrites)
{
    CTempDatabase db(Filled(), OnPath(GetParam(), "db.fdb"));
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::thread writer([&] {
        CFbConnection connection(1);
        if (!connection.Connect(TestUser, TestPassword, db.Name()))
            return;
        for (int id = 100000; !stop.load(); ++id)
        {
            int failure = 0;
            connection.Execute("INSERT INTO T VALUES (" + std::to_string(id) + ", LPAD('w', 100, 'w'))", failure);
            connection.Execute("UPDATE T SET S = 'changed' WHERE ID = " + std::to_string(id % 20000), failure);
            if (failure == 0)
                ++written;
        }
    });
    // The writer is under way before the copy starts.
    for (int i = 0; i < 2000 && written.load() < 50; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    CTempFolder copies;
    std::string error;
    bool lockRefused = false;
    const bool copied = CopyLockedFile(Login(db), db.Path(), copies.File("locked.fdb"), 1, error, lockRefused);
    const int atCopy = written.load();
    // It writes on after the copy too: the delta was merged, the lock ended.
    for (int i = 0; i < 2000 && written.load() < atCopy + 50; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop.store(true);
    writer.join();
    ASSERT_TRUE(copied) << error;
    EXPECT_GE(written.load(), atCopy + 50);
    EXPECT_EQ(BackupState(db), "0");
    // The engine's own validation finds nothing wrong with the copy.
    const std::string command = std::string("gfix -v -full -user ") + TestUser + " -password " + TestPassword + " '" +
                                copies.File("locked.fdb") + "' 2>&1";
    std::string said;
    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            said.append(buffer, n);
        EXPECT_EQ(pclose(pipe), 0) << said;
    }
    EXPECT_EQ(said, "");
    // It holds the rows of one moment between the first and the last write.
    CFbConnection reader(1);
    ASSERT_TRUE(reader.Connect(TestUser, TestPassword, copies.File("locked.fdb")));
    CStringGrid count;
    int failure = 0;
    reader.Execute("SELECT COUNT(*) FROM T", failure, &count);
    ASSERT_EQ(failure, 0);
    const int rows = std::stoi(count.GetCell(0, 0));
    EXPECT_GE(rows, 20000);
    EXPECT_LE(rows, 20000 + atCopy + 1);
}

TEST_P(DatabaseCopy, AFullDiskDuringEitherCopyLeavesNoHalfCopyAndTheDatabaseAsItWas)
{
    CWatchedDatabase db(Filled(), OnPath(GetParam(), "db.fdb"));
    CSmallDisk disk(256);
    if (!disk.Mounted())
        GTEST_SKIP() << "a small tmpfs file system cannot be mounted here (needs root and mount rights)";
    std::string error;
    bool lockRefused = false;
    EXPECT_FALSE(CopyLockedFile(Login(db), db.Path(), disk.File("locked.fdb"), 1, error, lockRefused));
    EXPECT_FALSE(lockRefused);
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
    bool lockRefused = false;
    EXPECT_FALSE(CopyLockedFile(Login(db, "WAYBACK_NOBODY", "nobody"), db.Path(), copies.File("locked.fdb"), 1, error,
                                lockRefused));
    EXPECT_TRUE(lockRefused);
    EXPECT_NE(error, "");
    EXPECT_FALSE(FileExists(copies.File("locked.fdb")));
    error.clear();
    EXPECT_FALSE(BackupThroughServer(Login(db, "WAYBACK_NOBODY", "nobody"), copies.File("server.fbk"), error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(FileExists(copies.File("server.fbk")));
    EXPECT_EQ(BackupState(db), "0");

    // A run of that user into the database still gets the file as it is for
    // its way back, and is told why it is not held still.
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER);", OnPath(GetParam(), "source.fdb"));
    CTempFolder program;
    CCopyEngine engine;
    engine.Init(TestUser, TestPassword, 1);
    ASSERT_EQ(
        engine.PrepareCopy(source.Name(), "", "", db.Name(), "WAYBACK_NOBODY", "nobody", false, program.Path(), false),
        0);
    ASSERT_TRUE(engine.Preparation().DestinationCopyMade()) << engine.Preparation().DestinationCopyError();
    EXPECT_EQ(engine.Preparation().DestinationCopyKind(), ECopyKind::PlainFile);
    EXPECT_NE(engine.Preparation().DestinationCopyError(), "");
    EXPECT_EQ(DatabaseFingerprint(engine.Settings().files.destinationCopy), db.ExpectedFingerprint());
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
    engine.EditSettings().places = places;
    engine.Preparation().PlanLogs({"T"}, ELogging::On);
    // The source's backup alone (some megabytes) does not fit.
    ASSERT_EQ(engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", true, program.Path(), false), 4);
    ASSERT_EQ(engine.Preparation().SpaceShortages().size(), 1u);
    EXPECT_GT(engine.Preparation().SpaceShortages()[0].needed, engine.Preparation().SpaceShortages()[0].available);
    EXPECT_FALSE(DirectoryExists(disk.File("logs")));
    EXPECT_FALSE(DirectoryExists(disk.File("copies")));
    // The logs of 20000 rows take megabytes too.
    EXPECT_GT(engine.Preparation().EstimateLogBytes({"T"}), 20000LL * 100);
    // Without backup, way back and logs nothing is asked of that disk.
    places.wayBack = false;
    engine.EditSettings().places = places;
    engine.Preparation().PlanLogs({"T"}, ELogging::Off);
    ASSERT_EQ(engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", false, program.Path(), false), 0);
    EXPECT_TRUE(engine.Preparation().DestinationCopyMade());
    EXPECT_EQ(engine.Preparation().DestinationCopyKind(), ECopyKind::None);
}

INSTANTIATE_TEST_SUITE_P(Paths, DatabaseCopy, ::testing::Bool(), PathName);
