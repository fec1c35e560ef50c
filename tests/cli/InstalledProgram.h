#pragma once

// The program run as a user runs it: a copy of the executable in a folder of
// its own, a private home, a full argument vector, captured output and exit
// code.
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct SRunResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
    bool hung = false; // the program had to be killed
    int signal = 0;    // the signal that ended the program, or 0
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

    // Starts the program and returns at once. Programs started at the same
    // time need tags of their own for their output files.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& tag = "") const
    {
        const std::string out = m_home.File("out" + tag + ".txt");
        const std::string err = m_home.File("err" + tag + ".txt");
        const pid_t child = fork();
        if (child == 0)
        {
            std::vector<char*> argv;
            const std::string program = m_program.File("rowmover");
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const auto& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr))
                _exit(126);
            // No display: the copy runs without windows.
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("QT_QPA_PLATFORM");
            setenv("HOME", m_home.Path().c_str(), 1);
            setenv("XDG_CONFIG_HOME", m_home.File("config").c_str(), 1);
            setenv("XDG_DATA_DIRS", m_home.File("shared").c_str(), 1);
            execv(program.c_str(), argv.data());
            _exit(127);
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

    SRunResult Run(const std::vector<std::string>& arguments) const { return Wait(Start(arguments)); }
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
