#include "copy/logs/CStagedRunLog.h"

#include <cstdint>
#include <cstring>

namespace
{
enum ERecord : char
{
    RowFailed = 0,
    RowInserted = 1,
    Entry = 2,
};

constexpr size_t PublishBlock = 1 << 16;

void AppendRecord(std::string& records, ERecord kind, const std::string& text)
{
    const auto length = static_cast<std::uint32_t>(text.size());
    records += static_cast<char>(kind);
    records.append(reinterpret_cast<const char*>(&length), sizeof length);
    records += text;
}
} // namespace

CStagedRunLog::~CStagedRunLog()
{
    if (m_pFile)
        std::fclose(m_pFile);
}

void CStagedRunLog::AppendRow(std::string& records, bool inserted, const std::string& detail)
{
    AppendRecord(records, inserted ? RowInserted : RowFailed, detail);
}

void CStagedRunLog::AppendEntry(std::string& records, const std::string& entry)
{
    AppendRecord(records, Entry, entry);
}

bool CStagedRunLog::Store(const std::string& records)
{
    if (m_bFailed)
        return false;
    if (!m_pFile && !(m_pFile = std::tmpfile()))
    {
        m_bFailed = true;
        return false;
    }
    if (std::fwrite(records.data(), 1, records.size(), m_pFile) != records.size())
        m_bFailed = true;
    return !m_bFailed;
}

bool CStagedRunLog::Publish(bool committed, const std::string& prefix,
                            const std::function<void(const std::string&)>& write, bool listRolledBack)
{
    if (!m_pFile)
        return !m_bFailed;
    bool ok = !m_bFailed && std::fflush(m_pFile) == 0 && std::fseek(m_pFile, 0, SEEK_SET) == 0;
    std::string text;
    std::string detail;
    char kind = 0;
    std::uint32_t length = 0;
    while (ok && std::fread(&kind, 1, 1, m_pFile) == 1)
    {
        if (std::fread(&length, sizeof length, 1, m_pFile) != 1)
        {
            ok = false;
            break;
        }
        detail.resize(length);
        if (length > 0 && std::fread(detail.data(), 1, length, m_pFile) != length)
        {
            ok = false;
            break;
        }
        // Each entry ends in CR LF of its own before the blank line.
        if (kind == RowInserted && !committed && !listRolledBack)
            continue;
        if (kind == Entry)
            text.append(prefix).append(" ").append(detail).append(" ()\r\n\r\n");
        else
            text.append(prefix)
                .append(kind == RowInserted && committed ? " Successfully inserted (" : " ERROR: Failed to add (")
                .append(detail)
                .append(")\r\n\r\n");
        if (text.size() >= PublishBlock)
        {
            write(text);
            text.clear();
        }
    }
    if (!text.empty())
        write(text);
    std::fclose(m_pFile);
    m_pFile = nullptr;
    return ok;
}
