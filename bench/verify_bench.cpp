// Verification benchmark: the verification alone, timed again and again
// against one pair of databases, so that a change to the reading back can be
// measured without a copy before each run. The source holds the table of
// copy_bench; the destination the same rows, written by the same statement.
// --keep FOLDER leaves the databases there and uses them again next time.
//
//   verify_bench [rows] [--repeat n] [--server host/port] [--only embedded|server] [--keep folder]
#include "copy/verify/CopyCompare.h"
#include "db/CFbConnection.h"
#include "support/BenchDatabase.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ibase.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
using bench::CreateDatabase;
using bench::Password;
using bench::Run;
using bench::User;

struct SOptions
{
    long rows = 1000000;
    int repeat = 3;
    std::string server = "localhost/3057";
    std::string only;
    std::string keep;
};

// The table of copy_bench, filled by the same statement.
bool MakeTable(const std::string& database, long rows)
{
    return CreateDatabase(database) &&
           Run(database, "CREATE TABLE SRC (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), AMOUNT NUMERIC(15,2),"
                         " RATIO DOUBLE PRECISION, CREATED TIMESTAMP, FLAGS SMALLINT, NOTE VARCHAR(200))") &&
           Run(database, "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(rows) +
                             ") DO BEGIN INSERT INTO SRC VALUES (:i, 'Name ' || :i, :i * 1.25, :i / 7.0e0,"
                             " DATEADD(:i SECOND TO TIMESTAMP '2020-01-01 00:00:00'), MOD(:i, 1000),"
                             " IIF(MOD(:i, 5) = 0, NULL, 'Note for row ' || :i)); i = i + 1; END END");
}

void RunSet(const char* title, const std::string& prefix, const std::string& folder, const SOptions& options)
{
    const std::string source = folder + "source.fdb";
    const std::string dest = folder + "dest.fdb";
    for (const std::string& file : {source, dest})
    {
        if (!std::filesystem::exists(file) && !MakeTable(prefix + file, options.rows))
        {
            std::fprintf(stderr, "%s: %s could not be made\n", title, file.c_str());
            return;
        }
    }
    SRunSettings settings;
    settings.source = {prefix + source, User, Password};
    settings.dest = {prefix + dest, User, Password};
    double fastest = -1;
    for (int run = 0; run < options.repeat; ++run)
    {
        struct rusage before
        {
        };
        getrusage(RUSAGE_SELF, &before);
        const auto start = std::chrono::steady_clock::now();
        const SCompareReport report = CompareTables(settings, {"SRC"});
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!report.Identical())
        {
            std::fprintf(stderr, "%s: verification failed:\n%s\n", title, CompareReportText(report).c_str());
            return;
        }
        struct rusage after
        {
        };
        getrusage(RUSAGE_SELF, &after);
        // The processor time of this process: the engine's own when embedded.
        const auto cpu = [](const struct rusage& usage) {
            return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        };
        std::printf("  %s run %d: %.2f s (%.2f s processor time here)\n", title, run + 1, seconds,
                    cpu(after) - cpu(before));
        std::fflush(stdout);
        fastest = fastest < 0 ? seconds : std::min(fastest, seconds);
    }
    struct rusage usage
    {
    };
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s: verification of %ld rows, fastest of %d: %.2f s, %.0f rows/s, peak %.1f MB\n", title, options.rows,
                options.repeat, fastest, static_cast<double>(options.rows) / fastest,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    SOptions options;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--repeat" && i + 1 < argc)
            options.repeat = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--server" && i + 1 < argc)
            options.server = argv[++i];
        else if (arg == "--only" && i + 1 < argc)
            options.only = argv[++i];
        else if (arg == "--keep" && i + 1 < argc)
            options.keep = argv[++i];
        else
            options.rows = std::atol(arg.c_str());
    }
    std::string folder = options.keep;
    if (folder.empty())
    {
        char pattern[] = "/tmp/rowmover-verify-XXXXXX";
        if (!mkdtemp(pattern))
            return 1;
        folder = pattern;
    }
    std::filesystem::create_directories(folder);
    folder += "/";
    if (options.only != "server")
        RunSet("Embedded", "", folder + "embedded-", options);
    if (options.only != "embedded")
        RunSet("Loopback server", options.server + ":", folder + "server-", options);
    if (options.keep.empty())
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    return 0;
}
