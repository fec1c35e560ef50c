#pragma once

#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Writes the per-row log entries of a table copy on a thread of its own, so
// the thread that inserts rows never waits for the log files. Entries are
// gathered per file and handed over in blocks; each file receives its
// entries in the order they were given. At most one block is written while
// the next one is gathered.
class CRowLogPipe
{
  public:
    enum EFile
    {
        RunLog,
        SqlLog,
        TextLog,
    };
    static constexpr size_t FileCount = 3;
    // Writes text (whole lines, each ending in CR LF) to one file.
    using WriteFn = std::function<void(EFile file, const std::string& text)>;

    explicit CRowLogPipe(WriteFn write);
    ~CRowLogPipe();
    CRowLogPipe(const CRowLogPipe&) = delete;
    CRowLogPipe& operator=(const CRowLogPipe&) = delete;

    // What goes to file with the next block; the caller appends whole lines.
    std::string& Gathered(EFile file) { return m_gathered[file]; }
    // Hands the gathered lines over, once the block before them is written.
    void Send();
    // Sends what is gathered and returns when everything is written.
    void Close();

  private:
    void WriteBlocks();

    WriteFn m_write;
    std::array<std::string, FileCount> m_gathered;
    std::array<std::string, FileCount> m_handed;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bHanded = false; // m_handed holds a block not written yet
    bool m_bClosing = false;
    std::thread m_thread;
};
