// What an unattended copy shows while it runs: one progress line, rewritten
// in place, when standard error is a terminal, and nothing of it otherwise;
// a stop named on standard error and in the run log.
#include "cli/InstalledProgram.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>

namespace
{
const char* const Schema = "CREATE TABLE BIG (ID INTEGER NOT NULL, S VARCHAR(40)); CREATE TABLE SMALL (ID INTEGER);";

// The progress line's rewriting: back to the line's start, the line erased.
const std::string Rewrite = "\r\x1b[K";

struct SDatabases
{
    explicit SDatabases(bool viaServer)
        : source(Schema, CTempDatabase::SOptions{"UTF8", viaServer, "source.fdb"}),
          dest(Schema, CTempDatabase::SOptions{"UTF8", viaServer, "dest.fdb"})
    {
        source.Run("INSERT INTO SMALL VALUES (1); SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0;"
                   " BEGIN WHILE (I < 200000) DO BEGIN INSERT INTO BIG VALUES (:I, 'row ' || :I); I = I + 1; END END^");
    }
    std::vector<std::string> Arguments() const { return CopyArguments(source, dest); }

    CTempDatabase source;
    CTempDatabase dest;
};

// Reads what the terminal shows until the program ends (bounded by 120 s).
SRunResult ReadUntilEnd(const CInstalledProgram& program, pid_t child, int terminal, std::string& shown)
{
    char buffer[4096];
    for (int tenth = 0; tenth < 1200; ++tenth)
    {
        pollfd wait{terminal, POLLIN, 0};
        poll(&wait, 1, 100);
        ssize_t got = 0;
        while ((got = read(terminal, buffer, sizeof buffer)) > 0)
            shown.append(buffer, static_cast<size_t>(got));
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
        {
            // What was still on its way.
            while ((got = read(terminal, buffer, sizeof buffer)) > 0)
                shown.append(buffer, static_cast<size_t>(got));
            SRunResult result;
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return result;
        }
    }
    kill(child, SIGKILL);
    return program.Wait(child);
}

class ProgressCommandLine : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
    }
};
} // namespace

TEST_P(ProgressCommandLine, NoProgressTextReachesAStandardErrorThatIsNoTerminal)
{
    CInstalledProgram program;
    SDatabases databases(GetParam());
    const SRunResult result = program.Run(databases.Arguments());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(Contains(result.out, "\r")) << result.out;
    EXPECT_FALSE(Contains(result.out, "rows/s")) << result.out;
    const std::string lines = "BIG copy successful.\nSMALL copy successful.\n";
    EXPECT_EQ(result.out.substr(0, lines.size()), lines) << result.out;
}

TEST_P(ProgressCommandLine, OnATerminalOneLineIsRewrittenInPlaceAndClearedBeforeTheEnd)
{
    CInstalledProgram program;
    SDatabases databases(GetParam());
    int terminal = -1;
    SLaunch launch;
    launch.errorTerminal = &terminal;
    launch.errorColumns = 50;
    const pid_t child = program.Start(databases.Arguments(), launch);
    ASSERT_GT(child, 0);
    std::string shown;
    const SRunResult result = ReadUntilEnd(program, child, terminal, shown);
    close(terminal);
    ASSERT_EQ(result.exitCode, 0) << shown;

    // Every piece of the line begins by rewriting it, and none spans more
    // than the terminal's width less one column.
    EXPECT_TRUE(Contains(shown, Rewrite + "BIG: 0 of 200,000 rows")) << shown;
    EXPECT_TRUE(Contains(shown, Rewrite + "BIG: 200,000 of 200,000 rows")) << shown;
    EXPECT_TRUE(Contains(shown, Rewrite + "SMALL: ")) << shown;
    EXPECT_EQ(shown.find('\n'), std::string::npos) << "no line of its own: " << shown;
    size_t pieces = 0;
    for (size_t at = shown.find(Rewrite); at != std::string::npos; at = shown.find(Rewrite, at + 1))
    {
        const size_t next = shown.find(Rewrite, at + 1);
        const std::string piece =
            shown.substr(at + Rewrite.size(), next == std::string::npos ? next : next - at - Rewrite.size());
        EXPECT_LE(piece.size(), 49u) << piece;
        ++pieces;
    }
    EXPECT_GE(pieces, 3u);
    // The line is gone before the program ends, and the result lines stay clean.
    EXPECT_EQ(shown.substr(shown.size() - Rewrite.size()), Rewrite);
}

TEST_P(ProgressCommandLine, AStopIsNamedOnStandardErrorAndInTheRunLog)
{
    CInstalledProgram program;
    SDatabases databases(GetParam());
    const pid_t child = program.Start(databases.Arguments());
    // The stop comes while BIG's rows go in: its rows are in the destination's
    // uncommitted transaction, which the source's count does not show, so the
    // program's own log says when.
    bool inserting = false;
    for (int tenth = 0; tenth < 600 && !inserting; ++tenth)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (const auto& entry : std::filesystem::recursive_directory_iterator(databases.source.Folder().Path()))
        {
            const std::string path = entry.path().string();
            if (path.size() > 8 && path.compare(path.size() - 8, 8, "_sql.txt") == 0)
                inserting = Contains(ReadWholeFile(path), "INSERT INTO BIG ");
        }
    }
    ASSERT_TRUE(inserting);
    kill(child, SIGINT);
    const SRunResult result = program.Wait(child);
    ASSERT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(
        Contains(result.err, "The copy was stopped by the user after table BIG; 1 table(s) were not started.\n"))
        << result.err;
    std::string runLog;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(databases.source.Folder().Path()))
    {
        const std::string path = entry.path().string();
        if (path.size() > 8 && path.compare(path.size() - 8, 8, "_log.txt") == 0)
            runLog = ReadWholeFile(path);
    }
    EXPECT_TRUE(Contains(runLog, "> Copy stopped by the user after this table; not started: 1 table(s) (SMALL)"))
        << runLog.substr(runLog.size() > 600 ? runLog.size() - 600 : 0);
    EXPECT_EQ(databases.dest.Scalar("SELECT COUNT(*) FROM SMALL"), "0");
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, ProgressCommandLine, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });
