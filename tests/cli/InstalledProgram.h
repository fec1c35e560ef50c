#pragma once

// The program run as a user runs it: a copy of the executable in a folder of
// its own, a private home, a full argument vector, captured output and exit
// code.
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

struct SRunResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
    bool hung = false; // the program had to be killed
    int signal = 0;    // the signal that ended the program, or 0
};

// How a test starts the program beyond its arguments.
struct SLaunch
{
    // What standard input holds (nothing unless given).
    std::string input;
    // Variables set for the program; an empty value removes one. ISC_USER
    // and ISC_PASSWORD are removed unless given, so that the tester's own
    // never reach a test.
    std::vector<std::pair<std::string, std::string>> environment;
    // When given, standard input is a new terminal instead of input, and
    // this receives the terminal's other side: what the test writes there
    // is typed, and what the terminal shows (its echo) can be read there.
    int* terminal = nullptr;
    // Programs started at the same time need tags of their own for their
    // output files.
    std::string tag = {};
    // When given, standard error is a new terminal (of errorColumns
    // columns), and this receives its other side to read what is shown.
    int* errorTerminal = nullptr;
    int errorColumns = 100;
    // Standard error is a pipe whose reader has closed: every write to it fails.
    bool errorToClosedPipe = false;
};

// A copy of the program in a folder of its own, so that its program folder
// (error report, temporary destination copy) belongs to this test alone.
class CInstalledProgram
{
  public:
    CInstalledProgram()
    {
        namespace fs = std::filesystem;
        fs::copy_file(ROWMOVER_EXECUTABLE, m_program.File("rowmover"));
        fs::permissions(m_program.File("rowmover"), fs::perms::owner_all);
    }

    const CTempFolder& ProgramFolder() const { return m_program; }
    std::string ConfigFolder() const { return m_home.File("config/Quenstead/Rowmover/"); }

    // Writes the settings file the program reads at start.
    void WriteSettings(const std::string& entries) const
    {
        std::filesystem::create_directories(ConfigFolder());
        const std::string path = ConfigFolder() + "Rowmover.ini";
        std::filesystem::remove(path);
        AppendTextToFile(path,
                         "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n" + entries + "</InitFile>\r\n");
    }

    // Starts the program and returns at once.
    pid_t Start(const std::vector<std::string>& arguments, const SLaunch& launch = {}) const
    {
        const std::string out = m_home.File("out" + launch.tag + ".txt");
        const std::string err = m_home.File("err" + launch.tag + ".txt");
        const std::string in = m_home.File("in" + launch.tag + ".txt");
        std::filesystem::remove(in);
        AppendTextToFile(in, launch.input);
        int terminal = -1;
        int typed = -1;
        if (launch.terminal != nullptr && openpty(&terminal, &typed, nullptr, nullptr, nullptr) != 0)
            return -1;
        int errorSide = -1;
        int errorShown = -1;
        winsize size{};
        size.ws_row = 24;
        size.ws_col = static_cast<unsigned short>(launch.errorColumns);
        if (launch.errorTerminal != nullptr && openpty(&errorSide, &errorShown, nullptr, nullptr, &size) != 0)
            return -1;
        int errorPipe[2] = {-1, -1};
        if (launch.errorToClosedPipe && pipe(errorPipe) != 0)
            return -1;
        const pid_t child = fork();
        if (child == 0)
        {
            if (launch.terminal != nullptr)
            {
                close(terminal);
                if (dup2(typed, STDIN_FILENO) < 0)
                    _exit(126);
                close(typed);
            }
            else if (!freopen(in.c_str(), "r", stdin))
                _exit(126);
            std::vector<char*> argv;
            const std::string program = m_program.File("rowmover");
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const auto& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr))
                _exit(126);
            if (launch.errorToClosedPipe)
            {
                close(errorPipe[0]);
                if (dup2(errorPipe[1], STDERR_FILENO) < 0)
                    _exit(126);
                close(errorPipe[1]);
            }
            if (launch.errorTerminal != nullptr)
            {
                close(errorSide);
                if (dup2(errorShown, STDERR_FILENO) < 0)
                    _exit(126);
                close(errorShown);
            }
            // No display: the copy runs without windows.
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("QT_QPA_PLATFORM");
            setenv("HOME", m_home.Path().c_str(), 1);
            setenv("XDG_CONFIG_HOME", m_home.File("config").c_str(), 1);
            setenv("XDG_DATA_DIRS", m_home.File("shared").c_str(), 1);
            unsetenv("ISC_USER");
            unsetenv("ISC_PASSWORD");
            for (const auto& [name, value] : launch.environment)
            {
                if (value.empty())
                    unsetenv(name.c_str());
                else
                    setenv(name.c_str(), value.c_str(), 1);
            }
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        if (launch.errorToClosedPipe)
        {
            close(errorPipe[0]);
            close(errorPipe[1]);
        }
        if (launch.errorTerminal != nullptr)
        {
            close(errorShown);
            fcntl(errorSide, F_SETFL, fcntl(errorSide, F_GETFL) | O_NONBLOCK);
            *launch.errorTerminal = errorSide;
        }
        if (launch.terminal != nullptr)
        {
            close(typed);
            fcntl(terminal, F_SETFL, fcntl(terminal, F_GETFL) | O_NONBLOCK);
            *launch.terminal = terminal;
        }
        return child;
    }

    // Waits for a started program. One that has not ended after the given
    // number of tenths of a second is taken for hung and killed, so a test
    // reports the hang instead of stalling.
    SRunResult Wait(pid_t child, int tenths = 1200, const std::string& tag = "") const
    {
        SRunResult result;
        int status = 0;
        pid_t ended = 0;
        for (int i = 0; i < tenths && (ended = waitpid(child, &status, WNOHANG)) == 0; ++i)
            usleep(100000);
        if (ended == 0)
        {
            result.hung = true;
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        result.exitCode = !result.hung && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.signal = !result.hung && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        result.out = ReadWholeFile(m_home.File("out" + tag + ".txt"));
        result.err = ReadWholeFile(m_home.File("err" + tag + ".txt"));
        return result;
    }

    SRunResult Run(const std::vector<std::string>& arguments, const SLaunch& launch = {}) const
    {
        return Wait(Start(arguments, launch), 1200, launch.tag);
    }
    // What the program has written to standard error so far.
    std::string ErrorSoFar(const std::string& tag = "") const
    {
        return ReadWholeFile(m_home.File("err" + tag + ".txt"));
    }

  private:
    CTempFolder m_program;
    CTempFolder m_home;
};

inline std::vector<std::string> CopyArguments(const CTempDatabase& source, const CTempDatabase& dest)
{
    return {source.Name(), TestUser, TestPassword, dest.Name(), TestUser, TestPassword};
}

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// The standard error of a run that could not attach a database: the
// program's message, then the server's reason on one line that holds
// reasonPart, and nothing else (not a word about tables).
inline ::testing::AssertionResult SaysAttachFailed(const std::string& err, const std::string& message,
                                                   const std::string& reasonPart)
{
    const std::string head = message + "\n";
    if (err.compare(0, head.size(), head) != 0)
        return ::testing::AssertionFailure() << "does not begin with \"" << message << "\": " << err;
    const std::string reason = err.substr(head.size());
    if (reason.size() < 2 || reason.find('\n') != reason.size() - 1)
        return ::testing::AssertionFailure() << "the reason is not one line: " << err;
    if (reason.find(reasonPart) == std::string::npos)
        return ::testing::AssertionFailure() << "the reason lacks \"" << reasonPart << "\": " << err;
    return ::testing::AssertionSuccess();
}

// Tests that run the program once on databases it opens itself and once on
// databases it reaches through the loopback server.
class ProgramOnEitherPath : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
    }
    bool ViaServer() const { return GetParam(); }
    CTempDatabase::SOptions On(const std::string& fileName) const { return {"UTF8", ViaServer(), fileName}; }
};

inline std::string PathName(const ::testing::TestParamInfo<bool>& info)
{
    return info.param ? "ThroughServer" : "Embedded";
}
