#pragma once

#include <chrono>
#include <cstdio>
#include <string>

// Appends log entries to one file, keeping it open while a table is copied.
// Each entry is followed by CR LF. The file is flushed at least once a second
// and when the writer is closed, so a viewer sees a log that is at most a
// second behind.
class CLogWriter
{
  public:
    CLogWriter() = default;
    ~CLogWriter() { Close(); }
    CLogWriter(const CLogWriter&) = delete;
    CLogWriter& operator=(const CLogWriter&) = delete;

    void SetPath(const std::string& path);
    // False when the file cannot be opened or written.
    bool AppendLine(const std::string& text);
    // Appends text as it is (lines that carry their own CR LF).
    bool AppendText(const std::string& text);
    // Flushes and closes; false when buffered entries could not be written.
    bool Close();
    // True once an entry for this path was lost: the file could not be
    // opened, written, flushed or closed. A new path, or ResetLost, clears it.
    bool Lost() const { return m_bLost; }
    void ResetLost() { m_bLost = false; }
    // For entries that went missing before they reached the writer.
    void MarkLost() { m_bLost = true; }
    const std::string& Path() const { return m_sPath; }

  private:
    bool Write(const std::string& text, bool endLine);

    std::string m_sPath;
    FILE* m_pFile = nullptr;
    bool m_bFailed = false;
    bool m_bLost = false;
    std::chrono::steady_clock::time_point m_lastFlush;
};
