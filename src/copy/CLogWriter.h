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
    // Flushes and closes; false when buffered entries could not be written.
    bool Close();

private:
    std::string m_sPath;
    FILE* m_pFile = nullptr;
    bool m_bFailed = false;
    std::chrono::steady_clock::time_point m_lastFlush;
};
