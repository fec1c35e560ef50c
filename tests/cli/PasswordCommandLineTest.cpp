// Credentials of the unattended copy that need not stand on the command
// line: ISC_USER and ISC_PASSWORD for empty arguments, a password "-" read
// from standard input (without echo on a terminal), and no password in any
// file the run leaves behind. Embedded and through the loopback server.
#include "cli/InstalledProgram.h"
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"
#include "support/DatabaseFingerprint.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <termios.h>
#include <thread>

namespace
{
const char* const Shop = "CREATE TABLE T (ID INTEGER, S VARCHAR(20));";

// Settings whose default user and password open nothing: a run succeeds only
// with the credentials the test hands over some other way.
const char* const UselessDefaults = "<Retries>1</Retries>\r\n<DefUser>NOBODY</DefUser>\r\n<DefPass>wrong</DefPass>\r\n";

struct SLoginCase
{
    const char* what;
    const char* sourceUser;
    const char* sourcePassword;
    const char* destUser;
    const char* destPassword;
    std::vector<std::pair<std::string, std::string>> environment;
    std::string input;
    // Settings entries; the useless defaults unless given.
    const char* settings;
    int exitCode;
    // A part of standard error; empty: nothing may be said there.
    std::string said;
};

// Where the password does not come from: a test fails when it is found in
// any file the program wrote.
const SLoginCase LoginCases[] = {
    {"both from the environment",
     "",
     "",
     "",
     "",
     {{"ISC_USER", TestUser}, {"ISC_PASSWORD", TestPassword}},
     "",
     UselessDefaults,
     0,
     ""},
    {"passwords from standard input",
     TestUser,
     "-",
     TestUser,
     "-",
     {},
     "velvetoak\nvelvetoak\n",
     UselessDefaults,
     0,
     ""},
    {"lines written on another system",
     TestUser,
     "-",
     TestUser,
     "-",
     {},
     "velvetoak\r\nvelvetoak\r\n",
     UselessDefaults,
     0,
     ""},
    {"one from standard input, users from the environment",
     "",
     "-",
     "",
     "",
     {{"ISC_USER", TestUser}, {"ISC_PASSWORD", TestPassword}},
     "velvetoak",
     UselessDefaults,
     0,
     ""},
    {"arguments go before the environment",
     TestUser,
     TestPassword,
     TestUser,
     TestPassword,
     {{"ISC_USER", "NOBODY"}, {"ISC_PASSWORD", "wrong"}},
     "",
     UselessDefaults,
     0,
     ""},
    {"the settings' defaults when the environment says nothing",
     "",
     "",
     "",
     "",
     {},
     "",
     "<Retries>1</Retries>\r\n",
     0,
     ""},
    {"standard input ends before the source's password",
     TestUser,
     "-",
     TestUser,
     "-",
     {},
     "",
     UselessDefaults,
     2,
     "Standard input holds no password for "},
    {"standard input has no line for the destination's",
     TestUser,
     "-",
     TestUser,
     "-",
     {},
     "velvetoak\n",
     UselessDefaults,
     2,
     "Standard input holds no password for "},
};

// Every file below folder whose bytes hold text, except the program itself.
std::vector<std::string> FilesHolding(const std::string& folder, const std::string& text)
{
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
    {
        if (!entry.is_regular_file() || entry.path().filename() == "rowmover")
            continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (bytes.find(text) != std::string::npos)
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

bool EchoOff(int terminal)
{
    termios settings{};
    return tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) == 0;
}

// What the terminal has shown since the last call.
std::string Shown(int terminal)
{
    std::string shown;
    char buffer[256];
    for (ssize_t got = 0; (got = read(terminal, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<size_t>(got));
    return shown;
}

class PasswordCommandLine : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
    }
    CTempDatabase::SOptions On(const std::string& fileName) const
    {
        return CTempDatabase::SOptions{"UTF8", GetParam(), fileName};
    }
};
} // namespace

TEST_P(PasswordCommandLine, CredentialsComeFromTheEnvironmentOrStandardInputAndStayOutOfEveryFile)
{
    for (const SLoginCase& test : LoginCases)
    {
        SCOPED_TRACE(test.what);
        CInstalledProgram program;
        program.WriteSettings(test.settings);
        CWatchedDatabase source(Shop, On("source.fdb"));
        CTempDatabase dest(Shop, On("dest.fdb"));
        source.Run("INSERT INTO T VALUES (1, 'one');");
        const SRunResult result = program.Run(
            {source.Name(), test.sourceUser, test.sourcePassword, dest.Name(), test.destUser, test.destPassword},
            {test.input, test.environment});
        EXPECT_FALSE(result.hung);
        EXPECT_EQ(result.exitCode, test.exitCode) << result.err;
        if (test.said.empty())
        {
            EXPECT_EQ(result.err, "");
        }
        else
        {
            EXPECT_NE(result.err.find(test.said), std::string::npos) << result.err;
        }
        EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM T"), test.exitCode == 0 ? "1" : "0");
        // Logs, backups, the report, the journal and the program's output:
        // none holds the password. The settings file is the user's own, and
        // the input the test's.
        std::filesystem::remove(program.ConfigFolder() + "Rowmover.ini");
        std::filesystem::remove(program.ConfigFolder() + "../../../in.txt");
        for (const std::string& folder : {source.Folder().Path(), dest.Folder().Path(), program.ProgramFolder().Path(),
                                          program.ConfigFolder() + "../../.."})
            EXPECT_EQ(FilesHolding(folder, TestPassword), std::vector<std::string>()) << folder;
        ExpectUnchanged(source);
    }
}

TEST_P(PasswordCommandLine, APasswordTypedAtATerminalIsAskedForAndNotShown)
{
    CInstalledProgram program;
    program.WriteSettings(UselessDefaults);
    CWatchedDatabase source(Shop, On("source.fdb"));
    CTempDatabase dest(Shop, On("dest.fdb"));
    source.Run("INSERT INTO T VALUES (1, 'one');");
    int terminal = -1;
    const pid_t child = program.Start({source.Name(), TestUser, "-", dest.Name(), TestUser, "-"}, {"", {}, &terminal});
    ASSERT_GT(child, 0);
    ASSERT_GE(terminal, 0);
    const std::string errFile = program.ConfigFolder() + "../../../err.txt";
    std::string shown;
    size_t typedLines = 0;
    for (const std::string& name : {source.Name(), dest.Name()})
    {
        // Typed once the program asks and the terminal no longer echoes.
        const std::string prompt = "Password for " + name + ": ";
        bool asked = false;
        for (int tenth = 0; tenth < 300 && !asked; ++tenth)
        {
            asked = ReadWholeFile(errFile).find(prompt) != std::string::npos && EchoOff(terminal);
            if (!asked)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ASSERT_TRUE(asked) << "no prompt for " << name << ": " << ReadWholeFile(errFile);
        const std::string typed = std::string(TestPassword) + "\n";
        ASSERT_EQ(write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
        // The terminal shows the line's end once it has taken the line; what
        // it shows of the line itself is there by then.
        ++typedLines;
        for (int tenth = 0; tenth < 100 && CountOf(shown, "\n") < typedLines; ++tenth)
        {
            pollfd ready{terminal, POLLIN, 0};
            poll(&ready, 1, 100);
            shown += Shown(terminal);
        }
        ASSERT_EQ(CountOf(shown, "\n"), typedLines) << shown;
    }
    const SRunResult result = program.Wait(child);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "Password for " + source.Name() + ": Password for " + dest.Name() + ": ");
    EXPECT_EQ(dest.Scalar("SELECT S FROM T"), "one");
    // The terminal showed the line ends only, and echoes again afterwards.
    EXPECT_EQ(shown, "\r\n\r\n");
    EXPECT_FALSE(EchoOff(terminal));
    close(terminal);
}

TEST_P(PasswordCommandLine, TheTriggerJournalOfAKilledRunHoldsNoPassword)
{
    CInstalledProgram program;
    program.WriteSettings(UselessDefaults);
    const std::string schema = R"(CREATE TABLE BIG (ID INTEGER NOT NULL, S VARCHAR(40));
                                  SET TERM ^ ;
                                  CREATE TRIGGER BIG_BI FOR BIG BEFORE INSERT AS BEGIN NEW.S = 'by trigger'; END^
                                  SET TERM ; ^)";
    CTempDatabase source(schema, On("source.fdb"));
    CTempDatabase dest(schema, On("dest.fdb"));
    source.Run("SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 200000) DO BEGIN"
               " INSERT INTO BIG VALUES (:I, 'row ' || :I); I = I + 1; END END^");
    const std::string journal = program.ConfigFolder() + "TriggerJournal.txt";
    const pid_t child = program.Start({source.Name(), "", "-", dest.Name(), "", "-"},
                                      {"velvetoak\nvelvetoak\n", {{"ISC_USER", TestUser}}});
    // Killed while the table's triggers are off, the run leaves its entry.
    bool recorded = false;
    for (int i = 0; i < 6000 && !recorded && !Ended(child); ++i)
    {
        recorded = FileExists(journal);
        if (!recorded)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    program.Wait(child);
    ASSERT_TRUE(recorded) << "the copy never switched the triggers off";
    const std::string entries = ReadWholeFile(journal);
    EXPECT_NE(entries.find("BIG"), std::string::npos) << entries;
    EXPECT_EQ(entries.find(TestPassword), std::string::npos) << entries;
}

TEST(PasswordCommandLineHelp, HelpSaysWhereCredentialsComeFrom)
{
    CInstalledProgram program;
    const SRunResult help = program.Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* said : {"ISC_USER", "ISC_PASSWORD", "A password \"-\" is read from standard"})
        EXPECT_NE(help.out.find(said), std::string::npos) << said << "\n" << help.out;
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, PasswordCommandLine, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });
