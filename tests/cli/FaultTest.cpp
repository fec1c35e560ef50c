// Faults around an unattended copy: a server that dies in the middle of a
// table, hosts that cannot be reached, a wrong password, a destination that
// another attachment holds, logs that cannot be written. Each shows what the
// program says and that it neither hangs nor touches its source.
#include "cli/InstalledProgram.h"
#include "cli/ReportSchema.h"
#include "db/CFbConnection.h"
#include "support/DatabaseFingerprint.h"

#include <arpa/inet.h>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <thread>

namespace
{
// A loopback port that nothing listens on at the moment it is returned.
int FreeLoopbackPort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        if (s >= 0)
            close(s);
        return -1;
    }
    close(s);
    return ntohs(address.sin_port);
}

int ShellStatus(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A Firebird server of this test's own on a free loopback port, so that it
// can be killed without disturbing any other test.
class CPrivateServer
{
  public:
    // wireCrypt: the server's WireCrypt setting (Enabled, Required, Disabled).
    explicit CPrivateServer(const std::string& wireCrypt = "Enabled") : m_nPort(FreeLoopbackPort())
    {
        m_bRunning = m_nPort > 0 &&
                     ShellStatus("ROWMOVER_FB_WIRECRYPT=" + wireCrypt + " " + Script("start") + " >/dev/null") == 0;
    }
    ~CPrivateServer() { ShellStatus(Script("stop") + " >/dev/null"); }
    // Starts the server again on its port after a Kill, as a restarted machine would.
    bool Restart() const
    {
        // The killed server may linger as a zombie that nothing reaps, which
        // the script would take for a running server.
        std::filesystem::remove(m_root.File("server/server.pid"));
        return ShellStatus(Script("start") + " >/dev/null") == 0;
    }
    CPrivateServer(const CPrivateServer&) = delete;
    CPrivateServer& operator=(const CPrivateServer&) = delete;

    bool Running() const { return m_bRunning; }
    // Watches the inserts into database through the server and kills it
    // once other attachments have inserted more than rows; false when that
    // did not happen within half a minute.
    bool KillOnceInserted(const std::string& database, long rows) const
    {
        CFbConnection watcher(1);
        for (int i = 0; i < 3000; ++i)
        {
            usleep(10000);
            if (!watcher.IsConnected() && !watcher.Connect(TestUser, TestPassword, Prefix() + database))
                continue;
            CStringGrid inserted;
            int failure = 0;
            watcher.Execute("SELECT COALESCE(SUM(R.MON$RECORD_INSERTS), 0) FROM MON$ATTACHMENTS A JOIN "
                            "MON$RECORD_STATS R ON R.MON$STAT_ID = A.MON$STAT_ID WHERE A.MON$ATTACHMENT_ID <> "
                            "CURRENT_CONNECTION",
                            failure, &inserted);
            // Monitoring data is a snapshot per transaction.
            watcher.Commit();
            if (failure == 0 && inserted.RowCount() == 1 && std::atol(inserted.GetCell(0, 0).c_str()) > rows)
                return Kill();
        }
        return false;
    }
    std::string Prefix() const { return "localhost/" + std::to_string(m_nPort) + ":"; }
    // Ends the server at once, as a crash or a pulled cable would.
    bool Kill() const
    {
        std::ifstream pidFile(m_root.File("server/server.pid"));
        pid_t pid = 0;
        if (!(pidFile >> pid) || pid <= 0)
            return false;
        return kill(pid, SIGKILL) == 0;
    }

  private:
    std::string Script(const std::string& verb) const
    {
        return "ROWMOVER_FB_PORT=" + std::to_string(m_nPort) + " ROWMOVER_FB_ROOT=" + m_root.File("server") + " " +
               ROWMOVER_SOURCE_DIR + "scripts/firebird-server " + verb;
    }

    CTempFolder m_root;
    int m_nPort;
    bool m_bRunning = false;
};

// Passes loopback connections on to a server port and counts them: each
// attach attempt of the client is one connection.
class CCountingProxy
{
  public:
    explicit CCountingProxy(int upstreamPort) : m_nUpstream(upstreamPort)
    {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(m_listener, 16) != 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_nPort = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CCountingProxy()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listener >= 0)
            close(m_listener);
    }
    CCountingProxy(const CCountingProxy&) = delete;
    CCountingProxy& operator=(const CCountingProxy&) = delete;

    int Port() const { return m_nPort; }
    int Connections() const { return m_nConnections.load(); }

  private:
    static sockaddr_in Loopback(int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        return address;
    }

    // One connection at a time is all a single-threaded client makes.
    void Serve()
    {
        while (!m_bStop)
        {
            pollfd waiting{m_listener, POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0)
                continue;
            const int client = accept(m_listener, nullptr, nullptr);
            if (client < 0)
                continue;
            ++m_nConnections;
            const int server = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address = Loopback(m_nUpstream);
            if (server >= 0 && connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                Pump(client, server);
            if (server >= 0)
                close(server);
            close(client);
        }
    }

    void Pump(int client, int server)
    {
        char buffer[65536];
        while (!m_bStop)
        {
            pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (poll(ends, 2, 50) <= 0)
                continue;
            for (int i = 0; i < 2; ++i)
            {
                if (!(ends[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = read(ends[i].fd, buffer, sizeof buffer);
                if (n <= 0)
                    return;
                const int to = i == 0 ? server : client;
                for (ssize_t done = 0; done < n;)
                {
                    const ssize_t w = write(to, buffer + done, static_cast<size_t>(n - done));
                    if (w <= 0)
                        return;
                    done += w;
                }
            }
        }
    }

    int m_nUpstream;
    int m_listener = -1;
    int m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nConnections{0};
    std::thread m_thread;
};

int TestServerPort()
{
    const std::string prefix = TestServer().prefix; // "localhost/3057:"
    const size_t slash = prefix.find('/');
    return slash == std::string::npos ? 3050 : std::atoi(prefix.c_str() + slash + 1);
}

// The run log that a run made next to its source.
std::string RunLogIn(const CTempFolder& folder)
{
    std::string log;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.Path()))
    {
        if (entry.path().string().ends_with("_log.txt"))
            log = ReadWholeFile(entry.path().string());
    }
    return log;
}

std::string DayStamp(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    char day[32];
    std::strftime(day, sizeof day, "%Y%m%d", &local);
    return day;
}

// Rows 1..count in table name, made inside the database.
std::string FillRows(const std::string& table, int count)
{
    return "SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(count) +
           ") DO BEGIN I = I + 1; INSERT INTO " + table + " VALUES (:I, 'row ' || :I); END END^ SET TERM ; ^";
}

std::string ThreeTables()
{
    return "CREATE TABLE A (ID INTEGER, S VARCHAR(40)); CREATE TABLE B (ID INTEGER, S VARCHAR(40)); "
           "CREATE TABLE C (ID INTEGER, S VARCHAR(40));";
}

// A small file system of its own, for a disk that fills up; removed with
// everything on it.
class CSmallDisk
{
  public:
    explicit CSmallDisk(int kilobytes, bool readOnly = false)
    {
        const std::string options = "size=" + std::to_string(kilobytes) + "k";
        m_bMounted = mount("tmpfs", m_folder.Path().c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
    }
    ~CSmallDisk()
    {
        if (m_bMounted)
            umount2(m_folder.Path().c_str(), MNT_DETACH);
    }
    CSmallDisk(const CSmallDisk&) = delete;
    CSmallDisk& operator=(const CSmallDisk&) = delete;

    bool Mounted() const { return m_bMounted; }
    const CTempFolder& Folder() const { return m_folder; }

  private:
    CTempFolder m_folder;
    bool m_bMounted = false;
};

// What isql-fb prints for a query on database: a reader of its own, apart
// from the program's client code.
std::string IsqlOutput(const std::string& database, const std::string& sql)
{
    CTempFolder folder;
    AppendTextToFile(folder.File("q.sql"), "SET LIST ON; " + sql + "\n");
    const std::string command = std::string("isql-fb -q -u ") + TestUser + " -p " + TestPassword + " '" + database +
                                "' -i " + folder.File("q.sql") + " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

// The rows 1..count as FillRows makes them, and nothing else, in the words
// of IsqlOutput for SummaryQuery.
std::string OldRowsSummary(int count)
{
    return "rows=" + std::to_string(count) + ";sum=" + std::to_string(count * (count + 1) / 2) +
           ";as_made=" + std::to_string(count) + ";";
}

std::string SummaryQuery(const std::string& table)
{
    return "SELECT 'rows=' || COUNT(*) || ';sum=' || SUM(ID) || ';as_made=' || SUM(IIF(S = 'row ' || ID, 1, 0)) ||"
           " ';' AS SUMMARY FROM " +
           table + ";";
}

class FullDisk : public ProgramOnEitherPath
{
};
} // namespace

TEST(Faults, ServerStoppedInTheMiddleOfATableFailsThatTableAndTheRunGoesOn)
{
    CPrivateServer server;
    ASSERT_TRUE(server.Running()) << "a private loopback Firebird server could not be started";
    CInstalledProgram program;
    program.WriteSettings("<Retries>2</Retries>\r\n");
    // Made by the embedded engine, then reached only through the server.
    CTempDatabase source(ThreeTables() + FillRows("A", 5) + FillRows("B", 400000) + FillRows("C", 5));
    CTempDatabase dest(ThreeTables());
    const std::string before = DatabaseFingerprint(source.Path());

    const pid_t run = program.Start({server.Prefix() + source.Path(), TestUser, TestPassword,
                                     server.Prefix() + dest.Path(), TestUser, TestPassword});
    // Kill the server once table B is well under way.
    const bool killed = server.KillOnceInserted(dest.Path(), 1000);
    const SRunResult result = program.Wait(run);
    ASSERT_TRUE(killed) << "the copy never reached table B while the server ran: " << result.out;
    ASSERT_FALSE(result.hung) << "the program hung after its server was stopped";
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("Run log:")), "A copy successful.\nB copy failed.\nC copy failed.\n")
        << result.out;
    EXPECT_TRUE(Contains(result.err, "Copy process failed")) << result.err;

    const std::string log = RunLogIn(source.Folder());
    const size_t bStart = log.find("<TBL_B");
    const size_t cStart = log.find("<TBL_C");
    ASSERT_NE(bStart, std::string::npos) << log.substr(0, 2000);
    ASSERT_NE(cStart, std::string::npos);
    const std::string bPart = log.substr(bStart, cStart - bStart);
    EXPECT_TRUE(Contains(bPart, "ERROR:")) << bPart.substr(bPart.size() > 2000 ? bPart.size() - 2000 : 0);
    EXPECT_TRUE(Contains(bPart, "WARNING: Copy failed") || Contains(bPart, "ERROR: Failed to read source rows"))
        << bPart.substr(bPart.size() > 2000 ? bPart.size() - 2000 : 0);
    EXPECT_TRUE(Contains(log.substr(cStart), "ERROR: Cannot open source database")) << log.substr(cStart);

    // The server is gone: the files are read by the embedded engine.
    ExpectUnchanged(before, source.Path());
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM A"), "5");
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM C"), "0");
}

TEST(Faults, TriggersThatAServerKilledAndRestartedLeftOffAreNamedWithWhatToDo)
{
    CPrivateServer server;
    ASSERT_TRUE(server.Running()) << "a private loopback Firebird server could not be started";
    CInstalledProgram program;
    program.WriteSettings("<Retries>2</Retries>\r\n");
    CTempDatabase source(ThreeTables() + FillRows("A", 5) + FillRows("B", 400000) + FillRows("C", 5));
    CTempDatabase dest(ThreeTables() + "SET TERM ^ ; CREATE TRIGGER B_BI FOR B BEFORE INSERT AS BEGIN END^ "
                                       "CREATE TRIGGER B_BU FOR B BEFORE UPDATE AS BEGIN END^ SET TERM ; ^");
    const std::string destName = server.Prefix() + dest.Path();
    const std::vector<std::string> arguments{"--report",
                                             program.ProgramFolder().File("report.json"),
                                             server.Prefix() + source.Path(),
                                             TestUser,
                                             TestPassword,
                                             destName,
                                             TestUser,
                                             TestPassword};
    const pid_t run = program.Start(arguments);
    const bool killed = server.KillOnceInserted(dest.Path(), 1000);
    ASSERT_TRUE(server.Restart());
    const SRunResult result = program.Wait(run);
    ASSERT_TRUE(killed) << "the copy never reached table B while the server ran: " << result.out;
    ASSERT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const auto inactive = [&] {
        CFbConnection reader(1);
        CStringGrid rows;
        int failure = 0;
        if (reader.Connect(TestUser, TestPassword, destName))
            reader.Execute("SELECT TRIM(RDB$TRIGGER_NAME) FROM RDB$TRIGGERS WHERE RDB$RELATION_NAME = 'B' AND "
                           "RDB$TRIGGER_INACTIVE = 1 ORDER BY 1",
                           failure, &rows);
        std::string names = reader.IsConnected() && failure == 0 ? "" : "unreadable: " + reader.LastErrorMessage();
        for (int row = 0; row < rows.RowCount(); ++row)
            names += (names.empty() ? "" : " ") + rows.GetCell(0, row);
        return names;
    };
    ASSERT_EQ(inactive(), "B_BI B_BU") << result.err;
    EXPECT_TRUE(Contains(result.err, "The triggers of table B were left inactive: ")) << result.err;
    EXPECT_TRUE(Contains(result.err, ". The next copy into " + destName +
                                         " switches them on again; or switch them "
                                         "on yourself: ALTER TRIGGER "))
        << result.err;
    for (const char* trigger : {"B_BI", "B_BU"})
        EXPECT_TRUE(Contains(result.err, "ALTER TRIGGER " + std::string(trigger) + " ACTIVE;")) << result.err;
    QJsonObject report;
    ASSERT_TRUE(IsValidReport(ReadWholeFile(program.ProgramFolder().File("report.json")), report));
    const QJsonArray left = report.value("triggers_left_off").toArray();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0].toObject().value("table").toString(), "B");
    EXPECT_EQ(left[0].toObject().value("triggers").toArray().size(), 2);
    // What the message says to do works: the next copy switches them on.
    const SRunResult next = program.Run(
        {"--tables", "A", server.Prefix() + source.Path(), TestUser, TestPassword, destName, TestUser, TestPassword});
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(inactive(), "");
}

TEST(Faults, AServerThatRequiresAnEncryptedWireIsAttachedWithOne)
{
    CPrivateServer server("Required");
    ASSERT_TRUE(server.Running()) << "a private loopback Firebird server could not be started";
    CInstalledProgram program;
    program.WriteSettings("<Retries>1</Retries>\r\n");
    CTempDatabase source("CREATE TABLE T (ID INTEGER, B BLOB SUB_TYPE 0); INSERT INTO T VALUES (1, x'00FF');");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER, B BLOB SUB_TYPE 0);");
    {
        // The plain wire asked for on this machine is refused: the attach
        // goes on at once with the encryption the server wants.
        CFbConnection connection(1);
        ASSERT_TRUE(connection.Connect(TestUser, TestPassword, server.Prefix() + dest.Path()))
            << connection.LastErrorMessage();
        EXPECT_EQ(connection.LastAttachAttempts(), 1);
        CStringGrid rows;
        int failure = -1;
        connection.Execute("SELECT RDB$GET_CONTEXT('SYSTEM', 'WIRE_ENCRYPTED') FROM RDB$DATABASE", failure, &rows);
        ASSERT_EQ(failure, 0) << connection.LastErrorMessage();
        EXPECT_EQ(rows.GetCell(0, 0), "TRUE");
    }
    const SRunResult result = program.Run({server.Prefix() + source.Path(), TestUser, TestPassword,
                                           server.Prefix() + dest.Path(), TestUser, TestPassword});
    EXPECT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("Run log:")), "T copy successful.\n") << result.out;
    server.Kill();
    EXPECT_EQ(dest.Scalar("SELECT ID || ':' || CAST(B AS VARCHAR(8) CHARACTER SET OCTETS) FROM T"),
              source.Scalar("SELECT ID || ':' || CAST(B AS VARCHAR(8) CHARACTER SET OCTETS) FROM T"));
}

TEST(Faults, UnreachableServersAreReportedWithoutHanging)
{
    CInstalledProgram program;
    program.WriteSettings("<Retries>3</Retries>\r\n");
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);");
    const int closedPort = FreeLoopbackPort();
    ASSERT_GT(closedPort, 0);
    for (const std::string& unreachable :
         {std::string("no-such-host.invalid:/x.fdb"), "localhost/" + std::to_string(closedPort) + ":/x.fdb"})
    {
        SRunResult result = program.Run({unreachable, "", "", dest.Name(), "", ""});
        EXPECT_FALSE(result.hung) << unreachable;
        EXPECT_EQ(result.exitCode, 2) << unreachable;
        EXPECT_TRUE(SaysAttachFailed(result.err, "Cannot attach source database.",
                                     "Unable to complete network request to host"));
        EXPECT_EQ(result.out, "");

        result = program.Run({source.Name(), "", "", unreachable, "", ""});
        EXPECT_FALSE(result.hung) << unreachable;
        EXPECT_EQ(result.exitCode, 2) << unreachable;
        EXPECT_TRUE(SaysAttachFailed(result.err, "Cannot attach destination database.",
                                     "Unable to complete network request to host"));
    }
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM T"), "0");
}

TEST(Faults, WrongPasswordIsReportedAfterExactlyTheConfiguredAttempts)
{
    REQUIRE_TEST_SERVER();
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);");
    for (int retries : {1, 3})
    {
        program.WriteSettings("<Retries>" + std::to_string(retries) + "</Retries>\r\n");
        {
            CCountingProxy proxy(TestServerPort());
            ASSERT_GT(proxy.Port(), 0);
            const std::string viaProxy = "127.0.0.1/" + std::to_string(proxy.Port()) + ":";
            const SRunResult result =
                program.Run({viaProxy + source.Path(), TestUser, "not-the-password", dest.Name(), "", ""});
            EXPECT_EQ(result.exitCode, 2);
            EXPECT_TRUE(SaysAttachFailed(result.err, "Cannot attach source database.",
                                         "Your user name and password are not defined"));
            EXPECT_EQ(proxy.Connections(), retries) << "attach attempts through the server";
        }
        {
            CCountingProxy proxy(TestServerPort());
            const std::string viaProxy = "127.0.0.1/" + std::to_string(proxy.Port()) + ":";
            const SRunResult result =
                program.Run({source.Name(), "", "", viaProxy + dest.Path(), TestUser, "not-the-password"});
            EXPECT_EQ(result.exitCode, 2);
            EXPECT_TRUE(SaysAttachFailed(result.err, "Cannot attach destination database.",
                                         "Your user name and password are not defined"));
            EXPECT_EQ(proxy.Connections(), retries) << "attach attempts through the server";
        }
    }
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM T"), "0");
}

TEST(Faults, DestinationOpenedByAnotherProcessIsReported)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (9);");
    // This process's embedded engine holds the file; another process's
    // embedded engine cannot open it beside it.
    CFbConnection holder(1);
    ASSERT_TRUE(holder.Connect(TestUser, TestPassword, dest.Path())) << holder.LastErrorMessage();
    const SRunResult result = program.Run(CopyArguments(source, dest));
    EXPECT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 2) << result.out;
    EXPECT_TRUE(SaysAttachFailed(result.err, "Cannot attach destination database.",
                                 "Database already opened with engine instance"));
    holder.Disconnect();
    EXPECT_EQ(dest.Scalar("SELECT ID FROM T"), "9");
}

TEST(Faults, DestinationRowsLockedByAnotherTransactionFailTheTableWithoutHanging)
{
    REQUIRE_TEST_SERVER();
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1); CREATE TABLE U (ID INTEGER); "
                            "INSERT INTO U VALUES (2);",
                            CTempDatabase::SOptions{"UTF8", true, "source.fdb"});
    CTempDatabase dest("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (9); CREATE TABLE U (ID INTEGER);",
                       CTempDatabase::SOptions{"UTF8", true, "dest.fdb"});
    // Another user's transaction has changed the destination's row and not
    // yet committed.
    CFbConnection holder(1);
    ASSERT_TRUE(holder.Connect(TestUser, TestPassword, dest.Name())) << holder.LastErrorMessage();
    int failure = 0;
    holder.Execute("UPDATE T SET ID = 10", failure);
    ASSERT_EQ(failure, 0) << holder.LastErrorMessage();

    const SRunResult result = program.Run(CopyArguments(source, dest));
    ASSERT_FALSE(result.hung) << "the copy waited for the other transaction instead of reporting the lock";
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("Run log:")), "T copy failed.\nU copy successful.\n");
    EXPECT_TRUE(Contains(RunLogIn(source.Folder()), "ERROR: Failed to cleanup table!")) << RunLogIn(source.Folder());
    holder.Execute("ROLLBACK", failure);
    holder.Disconnect();
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM U"), "1");
}

TEST(Faults, RunFolderThatCannotBeMadeLeavesTheCopyRunningAndIsSaidOnce)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1); CREATE TABLE U (ID INTEGER); "
                            "INSERT INTO U VALUES (2);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER); CREATE TABLE U (ID INTEGER);");
    // A file where the run folder belongs: neither the folder nor any log in
    // it can be made, whoever runs the test (root ignores permission bits).
    const std::time_t now = std::time(nullptr);
    for (std::time_t day : {now - 86400, now, now + 86400})
        AppendTextToFile(source.Folder().File("DB_copy_" + DayStamp(day)), "in the way");

    const SRunResult result = program.Run(CopyArguments(source, dest));
    EXPECT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 1) << "missing logs must not be reported as success";
    EXPECT_EQ(result.out.substr(0, result.out.find("Run log:")), "T copy successful.\nU copy successful.\n");
    const std::string message = "The copy went on, but its log files could not be written: ";
    EXPECT_EQ(CountOf(result.err, message), 1u) << result.err;
    EXPECT_TRUE(Contains(result.err, message + source.Folder().Path() + "DB_copy_")) << result.err;
    EXPECT_FALSE(Contains(result.err, "Copy process failed")) << result.err;
    EXPECT_EQ(dest.Scalar("SELECT ID FROM T"), "1");
    EXPECT_EQ(dest.Scalar("SELECT ID FROM U"), "2");
    // The lines that name the logs say that they are missing, and the
    // backup that could not be made in that folder is said at the start.
    EXPECT_EQ(CountOf(result.out, " (missing: it could not be written)\n"), 3u) << result.out;
    EXPECT_TRUE(Contains(result.err,
                         "The backup of the source database could not be made: " + source.Folder().Path() + "DB_copy_"))
        << result.err;
}

TEST(Faults, DestinationCopyThatCannotBeMadeIsSaidAndTheCopyGoesOn)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);");
    // A folder for the copies below a file: nothing can be written there.
    CTempFolder folder;
    AppendTextToFile(folder.File("a-file"), "in the way");
    const SRunResult result = program.Run({"--backup-dir", folder.File("a-file") + "/copies", source.Name(), TestUser,
                                           TestPassword, dest.Name(), TestUser, TestPassword});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.err, "No copy of the destination database as it was before the copy could be made: " +
                                         folder.File("a-file") + "/copies/temp_db_backup_"))
        << result.err;
    EXPECT_TRUE(Contains(result.err, "The backup of the source database could not be made: ")) << result.err;
    // Each with the system's reason on the line after it.
    EXPECT_EQ(CountOf(result.err, "\nNot a directory\n"), 2u) << result.err;
    EXPECT_EQ(dest.Scalar("SELECT ID FROM T"), "1");
}

TEST(Faults, ADestinationInSeveralFilesGetsTheServersBackupAsItsWayBack)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (2);");
    // A copy of its first file alone would be none: the engine backs up both.
    dest.Run("ALTER DATABASE ADD FILE '" + dest.Folder().File("dest.fd2") + "' STARTING AT 2000;");
    const SRunResult result = program.Run(CopyArguments(source, dest));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(Contains(result.err, "No copy of the destination")) << result.err;
    EXPECT_TRUE(Contains(result.err, "as a backup file: " + program.ProgramFolder().File("temp_db_backup_")))
        << result.err;
    EXPECT_EQ(dest.Scalar("SELECT ID FROM T"), "1");
}

TEST(Faults, DiskFillingUpDuringLoggingIsSaidOnceAndTheRowsStillArrive)
{
    const std::string table = "CREATE TABLE T (ID INTEGER, S VARCHAR(40));";
    CTempDatabase made(table + FillRows("T", 60000), CTempDatabase::SOptions{"UTF8", false, "source.fdb"});
    // The source, and with it the run folder, on a disk with room for the
    // logs when the run starts (its free-space check passes); the disk then
    // fills up while the logs are written. The destination elsewhere.
    CSmallDisk disk(static_cast<int>(std::filesystem::file_size(made.Path()) / 1024) + 32 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "a small tmpfs file system cannot be mounted here (needs root and mount rights)";
    CInstalledProgram program;
    const std::string sourcePath = disk.Folder().File("source.fdb");
    std::filesystem::copy_file(made.Path(), sourcePath);
    CTempDatabase dest(table);
    const std::string before = DatabaseFingerprint(sourcePath);

    const pid_t run =
        program.Start({"--no-backup", sourcePath, TestUser, TestPassword, dest.Name(), TestUser, TestPassword});
    // Once the SQL log is written, something else takes the rest of the disk.
    const auto sqlLogWritten = [&] {
        std::error_code ignored;
        for (const auto& folder : std::filesystem::directory_iterator(disk.Folder().Path(), ignored))
            for (const auto& file : std::filesystem::directory_iterator(folder.path(), ignored))
                if (file.path().string().ends_with("_sql.txt") && file.file_size(ignored) > 0)
                    return true;
        return false;
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!sqlLogWritten() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    {
        std::ofstream filler(disk.Folder().File("filler"), std::ios::binary);
        const std::string block(65536, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush())
        {
        }
    }
    const SRunResult result = program.Wait(run);
    EXPECT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("Run log:")), "T copy successful.\n");
    const std::string message = "The copy went on, but its log files could not be written: ";
    EXPECT_EQ(CountOf(result.err, message), 1u) << result.err;
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM T"), "60000");
    ExpectUnchanged(before, sourcePath);
    // Each log the disk cut short is named so where the logs are listed.
    EXPECT_GE(CountOf(result.out, " (incomplete: some entries could not be written)\n"), 1u) << result.out;
}

TEST(Faults, TooLittleRoomForTheCopiesAndLogsStopsTheRunBeforeAnythingIsWritten)
{
    const std::string table = "CREATE TABLE T (ID INTEGER, S VARCHAR(40));";
    CTempDatabase made(table + FillRows("T", 30000), CTempDatabase::SOptions{"UTF8", false, "source.fdb"});
    // Room for the source and half a megabyte: not for its backup, nor for
    // the logs of 30000 rows.
    CSmallDisk disk(static_cast<int>(std::filesystem::file_size(made.Path()) / 1024) + 512);
    if (!disk.Mounted())
        GTEST_SKIP() << "a small tmpfs file system cannot be mounted here (needs root and mount rights)";
    CInstalledProgram program;
    const std::string sourcePath = disk.Folder().File("source.fdb");
    std::filesystem::copy_file(made.Path(), sourcePath);
    CTempDatabase dest(table + FillRows("T", 3));
    const std::string before = DatabaseFingerprint(dest.Name());

    const SRunResult result = program.Run({sourcePath, TestUser, TestPassword, dest.Name(), TestUser, TestPassword});
    EXPECT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_TRUE(Contains(result.err, "Too little free space in " + disk.Folder().Path())) << result.err;
    EXPECT_TRUE(Contains(result.err, " needed, ")) << result.err;
    EXPECT_TRUE(Contains(result.err, "Nothing was written.")) << result.err;
    // Nothing: no run folder, no copy, no change to the destination.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(disk.Folder().Path(), ignored))
        EXPECT_EQ(entry.path().filename().string(), "source.fdb");
    EXPECT_EQ(DatabaseFingerprint(dest.Name()), before);
    // Without the backup and the logs the same run has room.
    program.WriteSettings("<DoLogs>0</DoLogs>\r\n");
    const SRunResult lean = program.Run({"--no-backup", "--log-dir", program.ProgramFolder().File("logs"), sourcePath,
                                         TestUser, TestPassword, dest.Name(), TestUser, TestPassword});
    EXPECT_EQ(lean.exitCode, 0) << lean.err;
    EXPECT_TRUE(Contains(lean.err, "This run makes no backup of the source database.")) << lean.err;
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM T"), "30000");
}

// The destination's disk fills up in the middle of a table: the engine's
// write error is no row's fault, so the table ends there, its new rows go
// back and its old rows stay; nothing is logged row by row.
TEST_P(FullDisk, ADiskFillingUpUnderTheDestinationEndsTheTableAndKeepsItsOldRows)
{
    const std::string table = "CREATE TABLE T (ID INTEGER, S VARCHAR(200));";
    CTempDatabase source(table + "SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 100000) DO"
                                 " BEGIN I = I + 1; INSERT INTO T VALUES (:I, LPAD(:I, 200, 'x')); END END^"
                                 " SET TERM ; ^",
                         On("source.fdb"));
    CTempDatabase made(table + FillRows("T", 200), On("dest.fdb"));
    // Room for the destination and two megabytes more: a tenth of the rows.
    CSmallDisk disk(static_cast<int>(std::filesystem::file_size(made.Path()) / 1024) + 2048);
    if (!disk.Mounted())
        GTEST_SKIP() << "a small tmpfs file system cannot be mounted here (needs root and mount rights)";
    std::filesystem::copy_file(made.Path(), disk.Folder().File("dest.fdb"));
    const std::string dest = (ViaServer() ? TestServer().prefix : "") + disk.Folder().File("dest.fdb");
    CInstalledProgram program;

    const SRunResult result = program.Run({source.Name(), TestUser, TestPassword, dest, TestUser, TestPassword});
    ASSERT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("Run log:")), "T copy failed.\n") << result.out;
    const std::string log = RunLogIn(source.Folder());
    EXPECT_TRUE(Contains(log, "ERROR: Failed to write to the destination (I/O error")) << log.substr(0, 3000);
    EXPECT_TRUE(Contains(log, "The table holds the rows it had before this copy")) << log.substr(0, 3000);
    EXPECT_EQ(CountOf(log, "Failed to add"), 0u);
    // Only the old rows, each as it was.
    const std::string rows = IsqlOutput(dest, SummaryQuery("T"));
    EXPECT_TRUE(Contains(rows, OldRowsSummary(200))) << rows;
}

// A log folder that cannot be made (here: on a read-only file system, which
// has no room either) is no lack of room: the copy runs without its logs,
// as with any run folder that cannot be made, and says so.
TEST(Faults, ALogFolderOnAReadOnlyDiskIsSaidAsUnwritableNotAsTooLittleRoom)
{
    CSmallDisk readOnly(64, true);
    if (!readOnly.Mounted())
        GTEST_SKIP() << "a read-only tmpfs file system cannot be mounted here (needs root and mount rights)";
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);");
    CInstalledProgram program;
    std::vector<std::string> arguments{"--log-dir", readOnly.Folder().File("logs")};
    for (const std::string& argument : CopyArguments(source, dest))
        arguments.push_back(argument);

    const SRunResult result = program.Run(arguments);
    ASSERT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_FALSE(Contains(result.err, "Too little free space")) << result.err;
    EXPECT_TRUE(Contains(result.err, "its log files could not be written")) << result.err;
    EXPECT_EQ(dest.Scalar("SELECT ID FROM T"), "1");
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, FullDisk, ::testing::Values(false, true), PathName);

// A server that dies in the middle of a table and comes back: the table
// ends at the first failure of the destination and keeps its old rows.
TEST(Faults, ServerKilledAndRestartedInTheMiddleOfATableKeepsItsOldRows)
{
    CPrivateServer server;
    ASSERT_TRUE(server.Running()) << "a private loopback Firebird server could not be started";
    CInstalledProgram program;
    program.WriteSettings("<Retries>3</Retries>\r\n");
    // The source is read by the program's own engine; only the destination dies.
    CTempDatabase source(ThreeTables() + FillRows("A", 5) + FillRows("B", 400000) + FillRows("C", 5));
    CTempDatabase dest(ThreeTables() + FillRows("B", 1000));

    const pid_t run =
        program.Start({source.Path(), TestUser, TestPassword, server.Prefix() + dest.Path(), TestUser, TestPassword});
    const bool killed = server.KillOnceInserted(dest.Path(), 20000);
    ASSERT_TRUE(killed) << "the copy never reached table B while the server ran";
    ASSERT_TRUE(server.Restart());
    const SRunResult result = program.Wait(run);
    ASSERT_FALSE(result.hung) << "the program hung after its server was killed";
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(Contains(result.out, "B copy failed.\n")) << result.out;
    const std::string log = RunLogIn(source.Folder());
    const std::string bPart = log.substr(log.find("<TBL_B"), log.find("<TBL_C") - log.find("<TBL_B"));
    EXPECT_TRUE(Contains(bPart, "ERROR: Failed to write to the destination")) << bPart.substr(0, 3000);
    EXPECT_EQ(CountOf(bPart, "Failed to add"), 0u);
    const std::string rows = IsqlOutput(server.Prefix() + dest.Path(), SummaryQuery("B"));
    EXPECT_TRUE(Contains(rows, OldRowsSummary(1000))) << rows;
}
