// The copies a run keeps of its databases, three ways: the plain file copy
// of earlier versions (torn when others write meanwhile), the file copied
// under the engine's backup lock, and the server's backup streamed to this
// program. Prints the time and the bytes of each, and for the server's
// backup the time a restore takes.
//
//   wayback_bench [rows] [--server host/port] [--repeat n]
#include "copy/prepare/DatabaseCopy.h"
#include "core/FileHelpers.h"
#include "support/BenchDatabase.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace
{
using bench::CreateDatabase;
using bench::Password;
using bench::Run;
using bench::User;

bool MakeTable(const std::string& database, long rows)
{
    return CreateDatabase(database) &&
           Run(database, "CREATE TABLE SRC (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), AMOUNT NUMERIC(15,2),"
                         " CREATED TIMESTAMP, NOTE VARCHAR(200))") &&
           Run(database, "CREATE INDEX SRC_NAME ON SRC (NAME)") &&
           Run(database, "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(rows) +
                             ") DO BEGIN INSERT INTO SRC VALUES (:i, 'Name ' || :i, :i * 1.25,"
                             " DATEADD(:i SECOND TO TIMESTAMP '2020-01-01 00:00:00'),"
                             " IIF(MOD(:i, 5) = 0, NULL, 'Note for row ' || :i)); i = i + 1; END END");
}

template <typename F> double Seconds(F&& work, bool& ok)
{
    const auto start = std::chrono::steady_clock::now();
    ok = work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char* what, double seconds, long long bytes, bool ok)
{
    std::printf("  %-34s %8.2f s %10.1f MB%s\n", what, seconds, static_cast<double>(bytes) / (1024.0 * 1024.0),
                ok ? "" : "  (failed)");
}

void RunSet(const char* title, const std::string& prefix, const std::string& folder, long rows)
{
    // A database of its own for each way in: the embedded engine keeps a
    // file it opened from the server.
    const std::string file = folder + (prefix.empty() ? "embedded.fdb" : "server.fdb");
    if (!MakeTable(prefix + file, rows))
    {
        std::fprintf(stderr, "%s: the database could not be made\n", title);
        return;
    }
    const SDatabaseLogin login{prefix + file, User, Password};
    std::printf("%s, %ld rows, database file %.1f MB\n", title, rows,
                static_cast<double>(FileSize(file)) / (1024.0 * 1024.0));
    bool ok = false;
    const std::string plain = folder + "plain.fdb";
    const double plainTime = Seconds([&] { return CopyFileInChunks(file, plain, 20480); }, ok);
    Report("plain file copy (20 KB chunks)", plainTime, FileSize(plain), ok);
    const std::string locked = folder + "locked.fdb";
    std::string error;
    const double lockedTime = Seconds(
        [&] {
            bool refused = false;
            return CopyLockedFile(login, file, locked, 1, error, refused);
        },
        ok);
    Report("file under the backup lock", lockedTime, FileSize(locked), ok);
    const std::string backup = folder + "server.fbk";
    const double backupTime = Seconds([&] { return BackupThroughServer(login, backup, error); }, ok);
    Report("server's backup, streamed here", backupTime, FileSize(backup), ok);
    if (!ok)
        std::printf("  %s\n", error.c_str());
    const std::string restored = folder + "restored.fdb";
    const std::string command = "gbak -c -user " + std::string(User) + " -password " + Password + " '" + backup +
                                "' '" + prefix + restored + "' > /dev/null 2>&1";
    const double restoreTime = Seconds([&] { return std::system(command.c_str()) == 0; }, ok);
    Report("restore of that backup (gbak -c)", restoreTime, FileSize(restored), ok);
    for (const std::string& made : {plain, locked, backup, restored})
        RemoveFile(made);
}
} // namespace

int main(int argc, char** argv)
{
    long rows = 1000000;
    std::string server = "localhost/3057";
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];
        if (argument == "--server" && i + 1 < argc)
            server = argv[++i];
        else
            rows = std::atol(argv[i]);
    }
    const std::string folder =
        std::filesystem::temp_directory_path().string() + "/wayback_bench_" + std::to_string(::getpid()) + "/";
    std::filesystem::create_directories(folder);
    RunSet("Embedded", "", folder, rows);
    RunSet("Through the server", server + ":", folder, rows);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
