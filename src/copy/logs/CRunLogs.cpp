#include "copy/logs/CRunLogs.h"

#include "core/FileHelpers.h"

#include <cstdio>

void CRunLogs::SetTable(const std::string& table)
{
    char prefix[4096];
    std::snprintf(prefix, sizeof prefix, "<TBL_%-18s>", table.c_str());
    m_sTablePrefix = prefix;
}

void CRunLogs::EndTable()
{
    m_bInTable = false;
    m_run.Close();
    m_sql.Close();
    m_text.Close();
}

bool CRunLogs::Append(CLogWriter& writer, const std::string& path, const std::string& text)
{
    writer.SetPath(path);
    const bool written = writer.AppendLine(text);
    // Outside a table copy nothing closes the file later.
    if (!m_bInTable)
        return writer.Close() && written;
    return written;
}

bool CRunLogs::WriteLog(const std::string& message, const std::string& detail)
{
    if (m_bInTable && m_sFirstErrorEntry.empty() && message.rfind("ERROR: ", 0) == 0)
    {
        std::string entry = OneLine(message.substr(7));
        while (!entry.empty() && (entry.back() == ' ' || entry.back() == '!'))
            entry.pop_back();
        // Some entries carry the table's prefix as their detail.
        if (!detail.empty() && detail != m_sTablePrefix)
            entry += " (" + OneLine(detail) + ")";
        m_sFirstErrorEntry = entry;
    }
    if (!m_bLog)
        return true;
    // One buffer serves every entry: a copy writes one entry per row.
    m_sEntry.assign(m_sTablePrefix).append(" ").append(message).append(" (").append(detail).append(")\r\n");
    return Append(m_run, m_files.runLog, m_sEntry);
}

bool CRunLogs::WriteSqlLog(const std::string& text)
{
    return !m_bLog || Append(m_sql, m_files.sqlLog, text);
}

bool CRunLogs::WriteTextLog(const std::string& text)
{
    return !m_bLog || Append(m_text, m_files.textLog, text);
}

void CRunLogs::WriteSqlFailure(const std::string& serverMessage)
{
    NoteServerFailure(serverMessage);
    WriteSqlLog(SqlFailureComment(serverMessage));
}

void CRunLogs::NoteServerFailure(const std::string& serverMessage)
{
    if (m_bInTable && m_sFirstServerFailure.empty())
        m_sFirstServerFailure = OneLine(serverMessage);
}

std::string CRunLogs::FirstFailure() const
{
    return m_sFirstServerFailure.empty() ? m_sFirstErrorEntry : m_sFirstServerFailure;
}

void CRunLogs::WriteReport(int failedRecords, const std::string& table)
{
    char report[4096];
    std::snprintf(report, sizeof report, "%i %s record(s) could not be copied.\r\n", failedRecords, table.c_str());
    AppendLineToFile(m_files.errorReport, report);
}

std::string CRunLogs::LostLogFile() const
{
    for (const CLogWriter* writer : {&m_run, &m_sql, &m_text})
    {
        if (writer->Lost())
            return writer->Path();
    }
    return {};
}

std::vector<std::string> CRunLogs::LostLogFiles() const
{
    std::vector<std::string> lost;
    for (const CLogWriter* writer : {&m_run, &m_sql, &m_text})
    {
        if (writer->Lost())
            lost.push_back(writer->Path());
    }
    return lost;
}

void CRunLogs::ResetLost()
{
    for (CLogWriter* writer : {&m_run, &m_sql, &m_text})
        writer->ResetLost();
}

std::string CRunLogs::OneLine(const std::string& message)
{
    std::string line;
    for (char c : message)
        line += (c == '\n' || c == '\r') ? ' ' : c;
    return line;
}

std::string CRunLogs::SqlFailureComment(const std::string& serverMessage)
{
    std::string comment = OneLine(serverMessage);
    // The comment must not end early inside the message.
    for (size_t at = comment.find("*/"); at != std::string::npos; at = comment.find("*/", at))
        comment.replace(at, 2, "* /");
    return "/* " + comment + " */";
}
