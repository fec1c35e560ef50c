// Credentials that need not stand on the command line: ISC_USER and
// ISC_PASSWORD for empty arguments, a password "-" read from standard input
// (not echoed by a terminal), and no password in any file a run leaves.
#include "cli/InstalledProgram.h"
#include "cli/ReportSchema.h"
#include "support/DatabaseFingerprint.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <poll.h>
#include <termios.h>
#include <thread>

namespace
{
const char* const Shop = "CREATE TABLE T (ID INTEGER, S VARCHAR(40));";
// Default credentials that open nothing useful: a run copies only with the
// credentials that come some other way.
const char* const UselessDefaults = "<Retries>1</Retries>\r\n<DefUser>NOBODY</DefUser>\r\n<DefPass>wrong</DefPass>\r\n";
using PasswordCommandLine = ProgramOnEitherPath;

// The files below folder that hold text, the program itself aside.
std::vector<std::string> FilesHolding(const std::string& folder, const std::string& text)
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    {
        if (!entry.is_regular_file() || entry.path().filename() == "rowmover")
            continue;
        std::ifstream file(entry.path(), std::ios::binary);
        if (Contains(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()), text))
            found.push_back(entry.path().string());
    }
    return found;
}

// True once the started program has ended (it is not reaped).
bool Ended(pid_t child)
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child;
}

bool Echoes(int terminal)
{
    termios settings{};
    return tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}
} // namespace

TEST_P(PasswordCommandLine, CredentialsComeFromTheEnvironmentOrStandardInputAndStayOutOfEveryFile)
{
    const struct
    {
        std::vector<std::string> users; // source, destination
        std::vector<std::string> passwords;
        std::vector<std::pair<std::string, std::string>> environment;
        std::string input;
        int exitCode;
    } cases[] = {
        {{"", ""}, {"", ""}, {{"ISC_USER", TestUser}, {"ISC_PASSWORD", TestPassword}}, "", 0},
        // One line each, the source's first; a CR LF line end is no part.
        {{TestUser, TestUser}, {"-", "-"}, {}, "velvetoak\r\nvelvetoak", 0},
        {{"", ""}, {"-", ""}, {{"ISC_USER", TestUser}, {"ISC_PASSWORD", TestPassword}}, "velvetoak\n", 0},
        {{TestUser, TestUser}, {TestPassword, TestPassword}, {{"ISC_USER", "NOBODY"}, {"ISC_PASSWORD", "x"}}, "", 0},
        // Standard input without a line for the destination's password.
        {{TestUser, TestUser}, {"-", "-"}, {}, "velvetoak\n", 2},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.input + " " + test.passwords[0] + " " + test.passwords[1]);
        CInstalledProgram program;
        program.WriteSettings(UselessDefaults);
        CWatchedDatabase source(Shop, On("source.fdb"));
        CTempDatabase dest(Shop, On("dest.fdb"));
        source.Run("INSERT INTO T VALUES (1, 'one');");
        const SRunResult result = program.Run(
            {source.Name(), test.users[0], test.passwords[0], dest.Name(), test.users[1], test.passwords[1]},
            {test.input, test.environment});
        EXPECT_EQ(result.exitCode, test.exitCode) << result.err;
        EXPECT_EQ(result.err, test.exitCode == 0 ? "" : "Standard input holds no password for " + dest.Name() + ".\n");
        EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM T"), test.exitCode == 0 ? "1" : "0");
        // Logs, backups, the report and the program's output hold no
        // password; the settings are the user's own, the input the test's.
        std::filesystem::remove(program.ConfigFolder() + "Rowmover.ini");
        std::filesystem::remove(program.ConfigFolder() + "../../../in.txt");
        for (const std::string& folder : {source.Folder().Path(), dest.Folder().Path(), program.ProgramFolder().Path(),
                                          program.ConfigFolder() + "../../.."})
            EXPECT_EQ(FilesHolding(folder, TestPassword), std::vector<std::string>());
        ExpectUnchanged(source);
    }
}

TEST_P(PasswordCommandLine, APasswordTypedAtATerminalIsAskedForAndNotShown)
{
    CInstalledProgram program;
    program.WriteSettings(UselessDefaults);
    CTempDatabase source(Shop, On("source.fdb"));
    CTempDatabase dest(Shop, On("dest.fdb"));
    source.Run("INSERT INTO T VALUES (1, 'one');");
    int terminal = -1;
    const std::string reportFile = program.ProgramFolder().File("report.json");
    const pid_t child = program.Start(
        {"--report", reportFile, source.Name(), TestUser, "-", dest.Name(), TestUser, "-"}, {"", {}, &terminal});
    ASSERT_GE(terminal, 0);
    std::string prompts;
    std::string shown;
    for (const std::string& name : {source.Name(), dest.Name()})
    {
        // Typed once the program asks and the terminal has stopped echoing.
        prompts += "Password for " + name + ": ";
        for (int i = 0; i < 300 && !(Contains(ReadWholeFile(program.ConfigFolder() + "../../../err.txt"), prompts) &&
                                     !Echoes(terminal));
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_FALSE(Echoes(terminal)) << "no prompt for " << name;
        ASSERT_EQ(write(terminal, "velvetoak\n", 10), 10);
        // Once the terminal shows the line's end, it has shown all of it.
        const size_t lines = CountOf(shown, "\n") + 1;
        for (int i = 0; i < 100 && CountOf(shown, "\n") < lines; ++i)
        {
            pollfd ready{terminal, POLLIN, 0};
            poll(&ready, 1, 100);
            char buffer[256];
            for (ssize_t got = 0; (got = read(terminal, buffer, sizeof buffer)) > 0;)
                shown.append(buffer, static_cast<size_t>(got));
        }
    }
    const SRunResult result = program.Wait(child);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, prompts);
    EXPECT_EQ(shown, "\r\n\r\n");
    EXPECT_TRUE(Echoes(terminal));
    EXPECT_EQ(dest.Scalar("SELECT S FROM T"), "one");
    close(terminal);
}

TEST_P(PasswordCommandLine, TheTriggerJournalOfAKilledRunHoldsNoPassword)
{
    CInstalledProgram program;
    program.WriteSettings(UselessDefaults);
    const char* const schema = "CREATE TABLE BIG (ID INTEGER NOT NULL, S VARCHAR(40)); SET TERM ^ ;"
                               "CREATE TRIGGER BIG_BI FOR BIG BEFORE INSERT AS BEGIN NEW.S = 'x'; END^ SET TERM ; ^";
    CTempDatabase source(schema, On("source.fdb"));
    CTempDatabase dest(schema, On("dest.fdb"));
    source.Run("SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 200000) DO BEGIN"
               " INSERT INTO BIG VALUES (:I, 'row ' || :I); I = I + 1; END END^");
    const std::string journal = program.ConfigFolder() + "TriggerJournal.txt";
    const pid_t child = program.Start({source.Name(), "", "-", dest.Name(), "", "-"},
                                      {"velvetoak\nvelvetoak\n", {{"ISC_USER", TestUser}}});
    // Killed while the table's triggers are off, the run leaves its entry
    // (the journal holds the run's hold on the destination before that).
    for (int i = 0; i < 6000 && !Contains(ReadWholeFile(journal), "\tBIG\t") && !Ended(child); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(child, SIGKILL);
    program.Wait(child);
    const std::string entries = ReadWholeFile(journal);
    EXPECT_TRUE(Contains(entries, "BIG")) << entries;
    EXPECT_FALSE(Contains(entries, TestPassword)) << entries;
}

TEST_P(PasswordCommandLine, AnInterruptAtThePasswordPromptEndsTheProgramWithTheTerminalEchoingAgain)
{
    CInstalledProgram program;
    program.WriteSettings(UselessDefaults);
    CTempDatabase source(Shop, On("source.fdb"));
    CTempDatabase dest(Shop, On("dest.fdb"));
    int terminal = -1;
    const std::string reportFile = program.ProgramFolder().File("report.json");
    const pid_t child = program.Start(
        {"--report", reportFile, source.Name(), TestUser, "-", dest.Name(), TestUser, "-"}, {"", {}, &terminal});
    ASSERT_GE(terminal, 0);
    for (int i = 0; i < 300 && !(Contains(program.ErrorSoFar(), "Password for") && !Echoes(terminal)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_FALSE(Echoes(terminal)) << "no prompt";
    kill(child, SIGINT);
    const SRunResult result = program.Wait(child, 100);
    EXPECT_FALSE(result.hung) << "the prompt kept waiting";
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_TRUE(Contains(result.err, "Interrupted before the copy began; nothing was written.")) << result.err;
    EXPECT_TRUE(Echoes(terminal));
    // The report of a run that never began says what ended it.
    QJsonObject report;
    ASSERT_TRUE(IsValidReport(ReadWholeFile(reportFile), report));
    EXPECT_EQ(report.value("exit_code").toInt(), 2);
    EXPECT_TRUE(report.value("tables").toArray().isEmpty());
    EXPECT_TRUE(report.value("messages")
                    .toArray()
                    .contains(QJsonValue("Interrupted before the copy began; nothing was written.")));
    close(terminal);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, PasswordCommandLine, ::testing::Values(false, true), PathName);
