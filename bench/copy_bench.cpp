// Copy benchmark: builds a source table of N rows and times, embedded and
// through the loopback server, the engine's copy (logs off and on), the
// verification of a copy (its reading back and comparing, timed apart), the
// in-database INSERT ... SELECT baseline and the literal-INSERT-per-row
// baseline. Every mode runs in its own child process so its peak resident
// memory is its own.
//
// With --large the table holds few rows with very long values instead: by
// default 12 rows of 32 MB (text and binary BLOBs in turn) and one row of a
// 256 MB text BLOB (--large-sizes count,mb,big-mb changes them); the literal
// baseline, which would hold all of it in memory, is left out.
//
// The baseline and the engine's copies run --repeat times (default 5), taking
// turns so that a slow spell of the machine falls on all of them; the fastest
// run of each is reported, with the highest peak memory of its runs.
//
// With --network the table (200,000 rows unless a count is given) is copied
// between two databases of the loopback server through a relay that delays
// every byte (bench/relay): at 0, 0.5 and 5 ms one way, that is 0, 1 and
// 10 ms more per round trip; --latency MS runs one chosen delay next to 0 ms.
// Each delay is reported with its ratio to the 0 ms relay run.
//
// With --tables N a run over N small tables (20 rows each) is timed,
// embedded and through the loopback server: the cost of a table beyond its
// rows, reported per table.
//
//   copy_bench [rows] [--blob] [--repeat n] [--server host/port] [--only embedded|server] [--no-literal]
//   copy_bench --large [--large-sizes count,mb,big-mb] [--repeat n] [--server host/port] [--only ...]
//   copy_bench --network [rows] [--latency ms] [--blob] [--repeat n] [--server host/port]
//   copy_bench --tables n [--table-rows n] [--repeat n] [--server host/port] [--only ...]
#include "copy/run/CCopyEngine.h"
#include "copy/run/CCopyRun.h"
#include "copy/verify/CopyCompare.h"
#include "core/FileHelpers.h"
#include "db/BlobIo.h"
#include "db/CFbConnection.h"
#include "db/CFbParamStatement.h"
#include "relay/CLatencyRelay.h"
#include "support/BenchDatabase.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <ibase.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
using bench::CreateDatabase;
using bench::Password;
using bench::Run;
using bench::User;

struct SOptions
{
    long rows = 1000000;
    bool blob = false;
    std::string server = "localhost/3057";
    std::string only;
    bool literal = true;
    int repeat = 5;
    bool large = false;
    long largeRows = 12; // of largeMb each, text and binary in turn
    long largeMb = 32;
    long bigMb = 256; // one more row, a text BLOB; 0 leaves it out
    bool rowsGiven = false;
    bool network = false;
    double latencyMs = -1; // one delay of --network; -1 runs the standard ones
    int tables = 0;        // --tables: a run over this many small tables
    long tableRows = 20;
};

constexpr size_t Megabyte = 1024 * 1024;

std::string TableDdl(const std::string& name, bool blob, bool large = false)
{
    if (large)
        return "CREATE TABLE " + name +
               " (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), TXT BLOB SUB_TYPE TEXT, BIN BLOB SUB_TYPE BINARY)";
    return "CREATE TABLE " + name +
           " (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), AMOUNT NUMERIC(15,2), RATIO DOUBLE PRECISION,"
           " CREATED TIMESTAMP, FLAGS SMALLINT, NOTE VARCHAR(200)" +
           (blob ? ", BODY BLOB SUB_TYPE TEXT" : "") + ")";
}

bool FillSource(const std::string& database, long rows, bool blob)
{
    const std::string body = blob ? ", RPAD('Body text of row ' || :i || ' ', 600, 'lorem ipsum dolor sit amet ')" : "";
    return Run(database, "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(rows) +
                             ") DO BEGIN INSERT INTO SRC VALUES (:i, 'Name ' || :i, :i * 1.25, :i / 7.0e0,"
                             " DATEADD(:i SECOND TO TIMESTAMP '2020-01-01 00:00:00'), MOD(:i, 1000),"
                             " IIF(MOD(:i, 5) = 0, NULL, 'Note for row ' || :i)" +
                             body + "); i = i + 1; END END");
}

// Text for the long values: numbered UTF-8 lines, letters beyond ASCII among them.
class CTextSource
{
  public:
    // Fills piece with size bytes: whole lines, dots where the next one does not fit.
    void Fill(std::string& piece, size_t size)
    {
        piece.clear();
        while (true)
        {
            if (m_sLine.empty())
                m_sLine = "Line " + std::to_string(m_nLine++) +
                          ": Grüße aus Köln, ¿qué tal? 日本語 lorem ipsum dolor sit amet, consectetur adipiscing\n";
            if (piece.size() + m_sLine.size() > size)
            {
                piece.append(size - piece.size(), '.');
                return;
            }
            piece += m_sLine;
            m_sLine.clear();
        }
    }

  private:
    std::string m_sLine;
    long m_nLine = 0;
};

// Bytes of every value for the binary values (xorshift).
void FillBytes(std::string& piece, size_t size, std::uint64_t& state)
{
    piece.resize(size);
    for (size_t i = 0; i < size; i += 8)
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(piece.data() + i, &state, std::min<size_t>(8, size - i));
    }
}

// Writes one long value into a new BLOB, a megabyte at a time, so this
// process (whose memory the measured children start from) stays small.
bool WriteLongBlob(CFbConnection& connection, bool text, size_t size, ISC_QUAD& id, std::uint64_t& state)
{
    CFbStatus status;
    CBlobWriter blob;
    CTextSource lines;
    std::string piece;
    if (!blob.Create(status, connection))
        return false;
    for (size_t written = 0; written < size; written += piece.size())
    {
        const size_t part = std::min(Megabyte, size - written);
        if (text)
            lines.Fill(piece, part);
        else
            FillBytes(piece, part, state);
        if (!blob.Write(status, piece.data(), piece.size()))
        {
            std::fprintf(stderr, "%s\n", status.Message().c_str());
            return false;
        }
    }
    return blob.Close(status, id);
}

bool FillLarge(const std::string& database, const SOptions& options)
{
    CFbConnection connection(1);
    CFbParamStatement insert(connection);
    if (!connection.Connect(User, Password, database) || !connection.EnsureTransaction() ||
        !insert.Prepare("INSERT INTO SRC (ID, NAME, TXT, BIN) VALUES (?, ?, ?, ?)"))
    {
        std::fprintf(stderr, "%s%s\n", connection.LastErrorMessage().c_str(), insert.LastErrorMessage().c_str());
        return false;
    }
    std::uint64_t state = 88172645463325252ull;
    const long rows = options.largeRows + (options.bigMb > 0 ? 1 : 0);
    for (long row = 0; row < rows; ++row)
    {
        const bool big = row == options.largeRows;
        const bool text = big || row % 2 == 0;
        const size_t size = static_cast<size_t>(big ? options.bigMb : options.largeMb) * Megabyte;
        ISC_QUAD id{};
        if (!connection.EnsureTransaction() || !WriteLongBlob(connection, text, size, id, state))
        {
            std::fprintf(stderr, "row %ld: the BLOB could not be written\n", row + 1);
            return false;
        }
        insert.SetBytes(0, std::to_string(row + 1), false);
        insert.SetBytes(1, "Row " + std::to_string(row + 1), false);
        insert.SetNull(text ? 3 : 2);
        insert.SetBlob(text ? 2 : 3, id);
        if (!insert.Execute() || !connection.Commit())
        {
            std::fprintf(stderr, "%s\n%s\n", insert.LastErrorMessage().c_str(), connection.LastErrorMessage().c_str());
            return false;
        }
    }
    return connection.Disconnect();
}

// A new destination database holding the empty table, so every timed copy
// starts from the same state (no rows of an earlier mode to delete first).
bool FreshDestination(const std::string& dest, bool blob, bool large)
{
    ISC_STATUS_ARRAY status;
    isc_db_handle db = 0;
    const std::string dpb = {isc_dpb_version1,
                             isc_dpb_user_name,
                             6,
                             'S',
                             'Y',
                             'S',
                             'D',
                             'B',
                             'A',
                             isc_dpb_password,
                             9,
                             'v',
                             'e',
                             'l',
                             'v',
                             'e',
                             't',
                             'o',
                             'a',
                             'k'};
    if (isc_attach_database(status, 0, dest.c_str(), &db, static_cast<short>(dpb.size()), dpb.data()) == 0)
        isc_drop_database(status, &db);
    return CreateDatabase(dest) && Run(dest, TableDdl("SRC", blob, large));
}

// Runs fn in a child process and gives its result. This process never runs
// the embedded engine itself: a child forked while the engine's threads hold
// its locks (a cache writer still flushing what was just filled) would wait
// for them forever.
bool InChild(const std::function<bool()>& fn)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0)
        _exit(fn() ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs setup and then fn in a child process; gives the seconds fn took (or
// -1) and the child's peak memory.
struct SResult
{
    double seconds = -1;
    long peakKb = 0;
};

template <typename Setup, typename Fn> SResult Measure(Setup setup, Fn fn)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0)
    {
        close(pipeFds[0]);
        const bool ready = setup();
        // What the modes before wrote is still going to the disk: each mode
        // starts once it is there, or it would pay for the one before.
        sync();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = ready && fn();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok)
            seconds = -1;
        if (write(pipeFds[1], &seconds, sizeof seconds) != sizeof seconds)
            _exit(2);
        _exit(0);
    }
    close(pipeFds[1]);
    SResult result;
    if (read(pipeFds[0], &result.seconds, sizeof result.seconds) != sizeof result.seconds)
        result.seconds = -1;
    close(pipeFds[0]);
    int status = 0;
    struct rusage usage
    {
    };
    wait4(child, &status, 0, &usage);
    result.peakKb = usage.ru_maxrss;
    return result;
}

// The copy as a text copy with every row held in memory and one literal
// INSERT prepared per row.
bool LiteralCopy(const std::string& source, const std::string& dest)
{
    CFbConnection from(1);
    CFbConnection to(1);
    if (!from.Connect(User, Password, source) || !to.Connect(User, Password, dest))
        return false;
    CStringGrid rows;
    CStringGrid columns;
    int failure = 0;
    from.Execute("SELECT * FROM SRC ORDER BY ID", failure, &rows, &columns);
    if (failure != 0)
        return false;
    from.Disconnect();
    to.Execute("DELETE FROM SRC", failure);
    for (int r = 0; r < rows.RowCount(); ++r)
    {
        std::string sql = "INSERT INTO SRC VALUES (";
        for (int c = 0; c < rows.ColumnCount(); ++c)
        {
            std::string value = rows.GetCell(c, r);
            for (auto& ch : value)
                ch = ch == '\'' ? ' ' : ch;
            const bool text = columns.GetCell(c, 1) == "STRING";
            sql += (c ? "," : "") + (text ? "'" + value + "'" : (value.empty() ? "0" : value));
        }
        to.Execute(sql + ")", failure);
    }
    return to.Disconnect();
}

// Test attachments and the temporary destination copy are preparation, not
// part of the copy.
bool PrepareEngine(CCopyEngine& engine, const std::string& source, const std::string& dest, const std::string& folder)
{
    engine.Init(User, Password, 1);
    if (engine.PrepareCopy(source, "", "", dest, "", "", false, folder, false) != 0)
        return false;
    // The copy is timed on its own; the verification has a mode of its own.
    engine.EditSettings().verify = false;
    return true;
}

// The verification's reading back: the copied table compared with the source.
bool VerifyCopy(const std::string& source, const std::string& dest)
{
    SRunSettings settings;
    settings.source = {source, User, Password};
    settings.dest = {dest, User, Password};
    const SCompareReport report = CompareTables(settings, {"SRC"});
    if (!report.Identical())
        std::fprintf(stderr, "verification failed:\n%s\n", CompareReportText(report).c_str());
    return report.Identical();
}

bool EngineCopy(CCopyEngine& engine, bool logs)
{
    const bool ok = engine.RunTable("SRC", logs ? ELogging::On : ELogging::Off).status == ETableStatus::Copied;
    if (!ok)
        std::fprintf(stderr, "copy failed; see %s\n", engine.Settings().files.runLog.c_str());
    return ok;
}

// Keeps the fastest run, and the highest peak memory of all runs; a failed
// run makes the mode failed.
void Keep(SResult& kept, const SResult& run)
{
    const bool first = kept.peakKb == 0;
    if (run.seconds < 0 || (!first && kept.seconds < 0))
        kept.seconds = -1;
    else if (first || run.seconds < kept.seconds)
        kept.seconds = run.seconds;
    kept.peakKb = std::max(kept.peakKb, std::max(run.peakKb, 1L));
}

// amount: rows, or megabytes of a large-value set.
void Report(const char* label, double amount, const char* unit, const SResult& result, double baseline)
{
    if (result.seconds < 0)
    {
        std::printf("  %-34s failed\n", label);
        return;
    }
    std::printf("  %-34s %9.0f %s/s  %7.2f s  peak %6.1f MB  ratio to baseline %5.2f\n", label, amount / result.seconds,
                unit, result.seconds, result.peakKb / 1024.0, result.seconds / baseline);
}

void RunSet(const char* title, const std::string& prefix, const std::string& folder, const SOptions& options)
{
    const std::string source = folder + "source.fdb";
    const std::string dest = folder + "dest.fdb";
    const bool filled = InChild([&] {
        if (!CreateDatabase(prefix + source) || !Run(prefix + source, TableDdl("SRC", options.blob, options.large)))
            return false;
        return options.large ? FillLarge(prefix + source, options)
                             : FillSource(prefix + source, options.rows, options.blob);
    });
    if (!filled)
    {
        std::fprintf(stderr, "%s: the source could not be filled\n", title);
        return;
    }
    const double megabytes = static_cast<double>(options.largeRows * options.largeMb + options.bigMb);
    const double amount = options.large ? megabytes : static_cast<double>(options.rows);
    const char* unit = options.large ? "MB" : "rows";
    if (options.large)
        std::printf("%s (%ld rows of %ld MB%s, %.0f MB of text and binary BLOBs, fastest of %d runs)\n", title,
                    options.largeRows, options.largeMb,
                    options.bigMb > 0 ? (" and one of " + std::to_string(options.bigMb) + " MB").c_str() : "",
                    megabytes, options.repeat);
    else
        std::printf("%s (%ld rows%s, fastest of %d runs)\n", title, options.rows,
                    options.blob ? ", with a text BLOB" : "", options.repeat);
    std::fflush(stdout);
    // The baseline fills a new table each time.
    bool targetExists = false;
    const auto newTarget = [&] {
        targetExists = InChild([&] {
            const bool dropped = !targetExists || Run(prefix + source, "DROP TABLE COPY_TARGET");
            return dropped && Run(prefix + source, TableDdl("COPY_TARGET", options.blob, options.large));
        });
        return targetExists;
    };
    CCopyEngine engine;
    const auto prepare = [&] {
        return FreshDestination(prefix + dest, options.blob, options.large) &&
               PrepareEngine(engine, prefix + source, prefix + dest, folder);
    };
    SResult baseline;
    SResult off;
    SResult on;
    SResult verified;
    for (int run = 0; run < options.repeat; ++run)
    {
        // The table is made here, not in the measured child, so that the
        // next run knows it is there.
        if (!newTarget())
            break;
        Keep(baseline, Measure([] { return true; },
                               [&] { return Run(prefix + source, "INSERT INTO COPY_TARGET SELECT * FROM SRC"); }));
        Keep(off, Measure(prepare, [&] { return EngineCopy(engine, false); }));
        Keep(on, Measure(prepare, [&] { return EngineCopy(engine, true); }));
        // The copy it verifies runs in a child of its own, so that the peak
        // memory is the verification's.
        Keep(verified, Measure([&] { return InChild([&] { return prepare() && EngineCopy(engine, false); }); },
                               [&] { return VerifyCopy(prefix + source, prefix + dest); }));
    }
    Report("in-database INSERT ... SELECT", amount, unit, baseline, baseline.seconds);
    Report("engine copy, logs off", amount, unit, off, baseline.seconds);
    Report("engine copy, logs on", amount, unit, on, baseline.seconds);
    Report("verification of the copy", amount, unit, verified, baseline.seconds);
    if (off.seconds > 0 && on.seconds > 0)
        std::printf("  %-34s %5.2f\n", "logs on / logs off", on.seconds / off.seconds);
    if (off.seconds > 0 && verified.seconds > 0)
        std::printf("  %-34s %5.2f\n", "verification / copy logs off", verified.seconds / off.seconds);
    std::fflush(stdout);
    if (!options.literal || options.large)
        return;
    const SResult literal = Measure([&] { return FreshDestination(prefix + dest, options.blob, false); },
                                    [&] { return LiteralCopy(prefix + source, prefix + dest); });
    Report("literal INSERT per row, in memory", amount, unit, literal, baseline.seconds);
    std::fflush(stdout);
}

// The port of "host/port".
std::uint16_t ServerPort(const std::string& server)
{
    const size_t slash = server.rfind('/');
    return static_cast<std::uint16_t>(slash == std::string::npos ? 3050 : std::atoi(server.c_str() + slash + 1));
}

// A relay in a child process of its own (this process starts no threads:
// its children fork from it); gives its pid and the port it listens on.
struct SRelayProcess
{
    pid_t pid = -1;
    std::uint16_t port = 0;
};

SRelayProcess StartRelay(std::uint16_t target, double delayMs)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    std::fflush(stdout);
    SRelayProcess relay;
    relay.pid = fork();
    if (relay.pid == 0)
    {
        close(pipeFds[0]);
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        CLatencyRelay running;
        std::uint16_t port = 0;
        if (running.Start(target, std::chrono::microseconds(static_cast<long>(delayMs * 1000))))
            port = running.Port();
        if (write(pipeFds[1], &port, sizeof port) != sizeof port || port == 0)
            _exit(1);
        int received = 0;
        sigwait(&signals, &received);
        running.Stop();
        _exit(0);
    }
    close(pipeFds[1]);
    if (relay.pid < 0 || read(pipeFds[0], &relay.port, sizeof relay.port) != sizeof relay.port)
        relay.port = 0;
    close(pipeFds[0]);
    return relay;
}

void StopRelay(const SRelayProcess& relay)
{
    if (relay.pid <= 0)
        return;
    kill(relay.pid, SIGTERM);
    int status = 0;
    waitpid(relay.pid, &status, 0);
}

// The bench table copied between two databases of the server, through
// relays of several delays, each run of every delay in turn.
void RunNetwork(const std::string& folder, const SOptions& options)
{
    const std::string direct = options.server + ":";
    const std::string source = folder + "source.fdb";
    const std::string dest = folder + "dest.fdb";
    if (!InChild([&] {
            return CreateDatabase(direct + source) && Run(direct + source, TableDdl("SRC", options.blob)) &&
                   FillSource(direct + source, options.rows, options.blob);
        }))
    {
        std::fprintf(stderr, "network: the source could not be filled\n");
        return;
    }
    std::vector<double> delays = {0, 0.5, 5};
    if (options.latencyMs >= 0)
        delays = options.latencyMs > 0 ? std::vector<double>{0, options.latencyMs} : std::vector<double>{0};
    std::vector<SRelayProcess> relays;
    for (double delay : delays)
    {
        relays.push_back(StartRelay(ServerPort(options.server), delay));
        if (relays.back().port == 0)
        {
            std::fprintf(stderr, "network: the relay of %.1f ms did not start\n", delay);
            for (const SRelayProcess& relay : relays)
                StopRelay(relay);
            return;
        }
    }
    std::printf("Loopback server through a delaying relay (%ld rows%s, engine copy with logs off, fastest of %d "
                "runs)\n",
                options.rows, options.blob ? ", with a text BLOB" : "", options.repeat);
    std::fflush(stdout);
    CCopyEngine engine;
    std::vector<SResult> results(delays.size());
    for (int run = 0; run < options.repeat; ++run)
    {
        for (size_t d = 0; d < delays.size(); ++d)
        {
            const std::string prefix = "127.0.0.1/" + std::to_string(relays[d].port) + ":";
            Keep(results[d], Measure(
                                 [&] {
                                     return FreshDestination(direct + dest, options.blob, false) &&
                                            PrepareEngine(engine, prefix + source, prefix + dest, folder);
                                 },
                                 [&] { return EngineCopy(engine, false); }));
        }
    }
    for (const SRelayProcess& relay : relays)
        StopRelay(relay);
    for (size_t d = 0; d < delays.size(); ++d)
    {
        char label[80];
        std::snprintf(label, sizeof label, "%.1f ms one way (%.0f ms round trip)", delays[d], 2 * delays[d]);
        if (results[d].seconds < 0)
        {
            std::printf("  %-34s failed\n", label);
            continue;
        }
        std::printf("  %-34s %9.0f rows/s  %7.2f s  peak %6.1f MB  ratio to 0 ms %5.2f\n", label,
                    static_cast<double>(options.rows) / results[d].seconds, results[d].seconds,
                    results[d].peakKb / 1024.0, results[0].seconds > 0 ? results[0].seconds / results[d].seconds : 0);
    }
    std::fflush(stdout);
}

std::string SmallTableName(int i)
{
    char name[16];
    std::snprintf(name, sizeof name, "T%04d", i);
    return name;
}

bool MakeSmallTables(const std::string& database, int tables, long rows)
{
    if (!CreateDatabase(database))
        return false;
    CFbConnection connection(1);
    if (!connection.Connect(User, Password, database))
        return false;
    int failure = 0;
    for (int i = 0; i < tables && failure == 0; ++i)
        connection.Execute("CREATE TABLE " + SmallTableName(i) +
                               " (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), AMOUNT NUMERIC(15,2),"
                               " CREATED TIMESTAMP)",
                           failure);
    for (int i = 0; i < tables && failure == 0 && rows > 0; ++i)
        connection.Execute("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(rows) +
                               ") DO BEGIN INSERT INTO " + SmallTableName(i) +
                               " VALUES (:i, 'Name ' || :i, :i * 1.25, DATEADD(:i SECOND TO TIMESTAMP "
                               "'2020-01-01 00:00:00')); i = i + 1; END END",
                           failure);
    if (failure != 0)
        std::fprintf(stderr, "%s\n", connection.LastErrorMessage().c_str());
    return failure == 0 && connection.Disconnect();
}

// A run over many small tables, as the window or the unattended run starts
// it: the cost of each table beyond its rows.
void RunTables(const char* title, const std::string& prefix, const std::string& folder, const SOptions& options)
{
    const std::string source = folder + "source.fdb";
    const std::string dest = folder + "dest.fdb";
    if (!InChild([&] {
            return MakeSmallTables(prefix + source, options.tables, options.tableRows) &&
                   MakeSmallTables(prefix + dest, options.tables, 0);
        }))
    {
        std::fprintf(stderr, "%s: the tables could not be made\n", title);
        return;
    }
    std::printf("%s (%d tables of %ld rows, fastest of %d runs)\n", title, options.tables, options.tableRows,
                options.repeat);
    std::fflush(stdout);
    CStringGrid names;
    names.SetSize(1, 0);
    for (int i = 0; i < options.tables; ++i)
    {
        names.SetCell(0, names.RowCount(), SmallTableName(i));
        names.AddRows(1);
    }
    CCopyEngine engine;
    struct SMode
    {
        const char* label;
        bool logs;
        bool verify;
        SResult result;
    };
    std::vector<SMode> modes = {{"run, logs off", false, false, {}},
                                {"run, logs on", true, false, {}},
                                {"run, logs on, verified", true, true, {}}};
    for (int run = 0; run < options.repeat; ++run)
    {
        for (SMode& mode : modes)
        {
            CCopyJob job;
            job.m_pTables = &names;
            job.m_pEngine = &engine;
            job.m_eLogging = mode.logs ? ELogging::On : ELogging::Off;
            Keep(mode.result, Measure(
                                  [&] {
                                      engine.Journal().SetPath(folder + "triggers.journal");
                                      if (!PrepareEngine(engine, prefix + source, prefix + dest, folder))
                                          return false;
                                      engine.EditSettings().verify = mode.verify;
                                      return true;
                                  },
                                  [&] {
                                      const std::atomic<bool> stop{false};
                                      const SCopyRunResult result = RunCopyJob(job, stop, {});
                                      if (!result.allCopied || result.tablesRun != options.tables)
                                          std::fprintf(stderr, "%d tables failed\n", result.failedTables);
                                      return result.started && result.allCopied;
                                  }));
        }
    }
    const double rows = static_cast<double>(options.tables * options.tableRows);
    for (const SMode& mode : modes)
    {
        if (mode.result.seconds < 0)
        {
            std::printf("  %-34s failed\n", mode.label);
            continue;
        }
        std::printf("  %-34s %7.2f s  %6.1f ms per table  %7.0f rows/s  peak %6.1f MB\n", mode.label,
                    mode.result.seconds, 1000 * mode.result.seconds / options.tables, rows / mode.result.seconds,
                    mode.result.peakKb / 1024.0);
    }
    std::fflush(stdout);
}
const char* const Usage =
    "usage: copy_bench [rows] [--blob] [--repeat n] [--server host/port] [--only embedded|server] [--no-literal]\n"
    "       copy_bench --large [--large-sizes count,mb,big-mb] [--repeat n] [--server host/port] [--only ...]\n"
    "       copy_bench --network [rows] [--latency ms] [--blob] [--repeat n] [--server host/port]\n"
    "       copy_bench --tables n [--table-rows n] [--repeat n] [--server host/port] [--only ...]\n";

// A row count: digits only, so that a mistyped option is no count of 0.
bool ReadRowCount(const std::string& text, long& rows)
{
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    rows = std::atol(text.c_str());
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    SOptions options;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--blob")
            options.blob = true;
        else if (arg == "--server" && i + 1 < argc)
            options.server = argv[++i];
        else if (arg == "--repeat" && i + 1 < argc)
            options.repeat = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--no-literal")
            options.literal = false;
        else if (arg == "--only" && i + 1 < argc)
            options.only = argv[++i];
        else if (arg == "--network")
            options.network = true;
        else if (arg == "--latency" && i + 1 < argc)
        {
            options.network = true;
            options.latencyMs = std::max(0.0, std::atof(argv[++i]));
        }
        else if (arg == "--tables" && i + 1 < argc)
            options.tables = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--table-rows" && i + 1 < argc)
            options.tableRows = std::max(0L, std::atol(argv[++i]));
        else if (arg == "--large")
            options.large = true;
        else if (arg == "--large-sizes" && i + 1 < argc)
        {
            options.large = true;
            if (std::sscanf(argv[++i], "%ld,%ld,%ld", &options.largeRows, &options.largeMb, &options.bigMb) != 3)
            {
                std::fprintf(stderr, "--large-sizes count,mb,big-mb\n");
                return 2;
            }
        }
        else if (arg == "--help" || arg == "-h")
        {
            std::fputs(Usage, stdout);
            return 0;
        }
        else if (ReadRowCount(arg, options.rows))
            options.rowsGiven = true;
        else
        {
            std::fprintf(stderr, "copy_bench: %s is no option or row count\n%s", arg.c_str(), Usage);
            return 2;
        }
    }
    if (options.network && !options.rowsGiven)
        options.rows = 200000;
    char pattern[] = "/tmp/rowmover-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string folder = std::string(pattern) + "/";
    if (options.network)
    {
        RunNetwork(folder + "network-", options);
        std::error_code ignored;
        std::filesystem::remove_all(pattern, ignored);
        return 0;
    }
    if (options.tables > 0)
    {
        if (options.only != "server")
            RunTables("Embedded", "", folder + "embedded-", options);
        if (options.only != "embedded")
            RunTables("Loopback server", options.server + ":", folder + "server-", options);
        std::error_code ignored;
        std::filesystem::remove_all(pattern, ignored);
        return 0;
    }
    // Each set's databases go before the next set: the large ones take gigabytes.
    const auto removeSet = [&](const std::string& set) {
        std::error_code ignored;
        for (const char* file : {"source.fdb", "dest.fdb"})
            std::filesystem::remove(folder + set + file, ignored);
    };
    if (options.only != "server")
    {
        RunSet("Embedded", "", folder + "embedded-", options);
        removeSet("embedded-");
    }
    if (options.only != "embedded")
    {
        RunSet("Loopback server", options.server + ":", folder + "server-", options);
        removeSet("server-");
    }
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return 0;
}
