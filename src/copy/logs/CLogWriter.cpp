#include "copy/logs/CLogWriter.h"

#include "core/FileHelpers.h"

namespace
{
constexpr size_t BufferBytes = 1 << 16;
} // namespace

void CLogWriter::SetPath(const std::string& path)
{
    if (path == m_sPath)
        return;
    Close();
    m_sPath = path;
    m_bFailed = false;
    m_bLost = false;
}

bool CLogWriter::AppendLine(const std::string& text)
{
    return Write(text, true);
}

bool CLogWriter::AppendText(const std::string& text)
{
    return Write(text, false);
}

bool CLogWriter::Write(const std::string& text, bool endLine)
{
    if (!m_pFile)
    {
        // A file that could not be opened is not retried for every entry.
        if (m_sPath.empty())
            return false;
        if (m_bFailed)
        {
            m_bLost = true;
            return false;
        }
        m_pFile = OpenPrivateFile(m_sPath, "ab");
        if (!m_pFile)
        {
            m_bFailed = true;
            m_bLost = true;
            return false;
        }
        // A copy with logs on writes several lines per row: a large buffer
        // keeps that to few system calls.
        std::setvbuf(m_pFile, nullptr, _IOFBF, BufferBytes);
        m_lastFlush = std::chrono::steady_clock::now();
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), m_pFile) == text.size();
    if (endLine)
        ok = std::fwrite("\r\n", 1, 2, m_pFile) == 2 && ok;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastFlush >= std::chrono::seconds(1))
    {
        ok = std::fflush(m_pFile) == 0 && ok;
        m_lastFlush = now;
    }
    if (!ok)
        m_bLost = true;
    return ok;
}

bool CLogWriter::Close()
{
    if (!m_pFile)
        return true;
    const bool ok = std::fclose(m_pFile) == 0;
    m_pFile = nullptr;
    if (!ok)
        m_bLost = true;
    return ok;
}
