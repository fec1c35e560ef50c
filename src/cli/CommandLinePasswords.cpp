#include "cli/CommandLinePasswords.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <termios.h>
#include <unistd.h>

namespace
{
// Switches a terminal's echo off for as long as it lives.
class CEchoOff
{
  public:
    explicit CEchoOff(int fd) : m_nFd(fd)
    {
        if (tcgetattr(fd, &m_saved) != 0)
            return;
        termios quiet = m_saved;
        // The line end still shows, so the next output starts on a new line.
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        m_bChanged = tcsetattr(fd, TCSANOW, &quiet) == 0;
    }
    ~CEchoOff()
    {
        if (m_bChanged)
            tcsetattr(m_nFd, TCSANOW, &m_saved);
    }
    CEchoOff(const CEchoOff&) = delete;
    CEchoOff& operator=(const CEchoOff&) = delete;

  private:
    int m_nFd;
    termios m_saved{};
    bool m_bChanged = false;
};
} // namespace

std::string EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool ReadPasswordLine(int fd, const std::string& prompt, std::ostream& err, std::string& password)
{
    password.clear();
    const bool terminal = isatty(fd) == 1;
    if (terminal)
        err << prompt << std::flush;
    bool anything = false;
    {
        std::optional<CEchoOff> echoOff;
        if (terminal)
            echoOff.emplace(fd);
        for (;;)
        {
            char c = 0;
            const ssize_t got = read(fd, &c, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            anything = true;
            if (c == '\n')
                break;
            password += c;
        }
    }
    // A line written on another system ends with CR LF.
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return anything;
}
