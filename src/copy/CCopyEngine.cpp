#include "copy/CCopyEngine.h"

#include "copy/SourceSelect.h"
#include "copy/TablePlan.h"
#include "core/FileHelpers.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <cstdio>
#include <filesystem>

CCopyEngine::~CCopyEngine()
{
    if (!m_sTempBackupFile.empty())
        RemoveFile(m_sTempBackupFile);
}

void CCopyEngine::Init(const std::string& defUser, const std::string& defPass, int attempts)
{
    m_sDefUser = defUser;
    m_sDefPass = defPass;
    m_nAttempts = attempts;
}

bool CCopyEngine::RunTable(const std::string& table, int mode)
{
    m_bLog = !(mode == 0 || mode == 2);
    // The preparation made the run log to hold its name; a run without logs
    // leaves none behind.
    std::error_code noSize;
    if (!m_bLog && !m_sLogFile.empty() && std::filesystem::file_size(m_sLogFile, noSize) == 0 && !noSize)
        RemoveFile(m_sLogFile);
    return CopyTable(table);
}

void CCopyEngine::GetLogFiles(std::string& log, std::string& sql, std::string& text) const
{
    log = m_sLogFile;
    sql = m_sSqlLogFile;
    text = m_sTextLogFile;
}

bool CCopyEngine::Append(CLogWriter& writer, const std::string& path, const std::string& text)
{
    writer.SetPath(path);
    const bool written = writer.AppendLine(text);
    // Outside a table copy nothing closes the file later.
    if (!m_bInTable)
        return writer.Close() && written;
    return written;
}

bool CCopyEngine::WriteLog(const std::string& message, const std::string& detail)
{
    if (!m_bLog)
        return true;
    // One buffer serves every entry: a copy writes one entry per row.
    m_sLogEntry.assign(m_sTablePrefix).append(" ").append(message).append(" (").append(detail).append(")\r\n");
    return Append(m_logs.run, m_sLogFile, m_sLogEntry);
}

bool CCopyEngine::WriteSqlLog(const std::string& text)
{
    if (!m_bLog)
        return true;
    return Append(m_logs.sql, m_sSqlLogFile, text);
}

bool CCopyEngine::WriteTextLog(const std::string& text)
{
    if (!m_bLog)
        return true;
    return Append(m_logs.text, m_sTextLogFile, text);
}

std::string CCopyEngine::OneLine(const std::string& message)
{
    std::string line;
    for (char c : message)
        line += (c == '\n' || c == '\r') ? ' ' : c;
    return line;
}

void CCopyEngine::WriteReport(int failedRecords, const std::string& table)
{
    char report[4096];
    std::snprintf(report, sizeof report, "%i %s record(s) could not be copied.\r\n", failedRecords, table.c_str());
    AppendLineToFile(m_sErrorFile, report);
}

std::string CCopyEngine::SqlFailureComment(const std::string& serverMessage)
{
    std::string comment = OneLine(serverMessage);
    // The comment must not end early inside the message.
    for (size_t at = comment.find("*/"); at != std::string::npos; at = comment.find("*/", at))
        comment.replace(at, 2, "* /");
    return "/* " + comment + " */";
}

void CCopyEngine::WriteSqlFailure(const std::string& serverMessage)
{
    WriteSqlLog(SqlFailureComment(serverMessage));
}

void CCopyEngine::SetTablePrefix(const std::string& table)
{
    char prefix[4096];
    std::snprintf(prefix, sizeof prefix, "<TBL_%-18s>", table.c_str());
    m_sTablePrefix = prefix;
}
