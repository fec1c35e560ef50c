#include "cli/CTerminalProgress.h"

#include <ostream>
#include <sys/ioctl.h>

namespace
{
// Back to the start of the line, and the line erased from there.
constexpr const char* kRewrite = "\r\x1b[K";

// The text cut to at most columns characters, without splitting a UTF-8
// sequence.
std::string Cut(const std::string& text, int columns)
{
    int shown = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80 && ++shown > columns)
            return text.substr(0, i);
    }
    return text;
}
} // namespace

CTerminalProgress::CTerminalProgress(std::ostream& terminal, int width) : m_terminal(terminal), m_nWidth(width) {}

void CTerminalProgress::Show(const std::string& line)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bGone)
        return;
    // The last column stays free: a line that fills it wraps on some terminals.
    m_terminal << kRewrite << Cut(line, m_nWidth - 1) << std::flush;
    m_bShown = true;
    // A terminal that hung up (EIO) or a reader that closed its pipe: the
    // copy goes on to its clean end without the line.
    if (!m_terminal)
    {
        m_bGone = true;
        m_bShown = false;
    }
}

void CTerminalProgress::Clear()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    ClearLocked();
}

void CTerminalProgress::ClearLocked()
{
    if (!m_bShown)
        return;
    m_terminal << kRewrite << std::flush;
    m_bShown = false;
}

int CTerminalProgress::TerminalWidth(int fd)
{
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}
