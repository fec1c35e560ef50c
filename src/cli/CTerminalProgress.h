#pragma once

#include <iosfwd>
#include <mutex>
#include <string>

// One progress line on a terminal, rewritten in place: each Show replaces
// the line, and Clear takes it away before other output is written, so that
// result lines and messages never run into it. Safe to use from several
// threads (the copy and the interrupt watch). Once a write fails (the
// terminal hung up) it writes nothing more.
class CTerminalProgress
{
  public:
    // width: the terminal's columns; a longer line is cut, since a wrapped
    // line could not be rewritten in place.
    CTerminalProgress(std::ostream& terminal, int width);

    void Show(const std::string& line);
    void Clear();
    // Clears the line, then runs write (which prints something else).
    template <typename TWrite> void Between(TWrite write)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ClearLocked();
        write();
    }

    // The columns of the terminal behind fd; 80 when it does not say.
    static int TerminalWidth(int fd);

  private:
    void ClearLocked();

    std::ostream& m_terminal;
    int m_nWidth;
    bool m_bShown = false;
    bool m_bGone = false; // a write failed: nothing more is shown
    std::mutex m_mutex;
};
