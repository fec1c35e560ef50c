#include "copy/CCopyEngine.h"

#include "core/FileHelpers.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/SchemaQueries.h"

#include <cstdio>

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

bool CCopyEngine::CopyTable(const std::string& table)
{
    if (m_sSourceDb.empty() || m_sDestDb.empty())
        return false;
    SetTablePrefix(table);
    // Each table's entries reach the files when the table is done.
    struct SCloseLogs
    {
        CCopyEngine& engine;
        ~SCloseLogs()
        {
            engine.m_bInTable = false;
            engine.m_logs.run.Close();
            engine.m_logs.sql.Close();
            engine.m_logs.text.Close();
        }
    } closeLogs{*this};
    m_bInTable = true;

    WriteLog("Starting copy process...", "");
    const std::string header = "\r\n\r\n/* " + table + "*/\r\n";
    WriteSqlLog(header);
    WriteTextLog(header);

    CFbConnection source(m_nAttempts);
    if (!source.Connect(m_sSourceUser, m_sSourcePassword, m_sSourceDb))
    {
        WriteLog("ERROR: Cannot open source database", m_sSourceDb);
        return false;
    }
    CFbCursor cursor(source);
    CStringGrid sourceColumns;
    std::string sql;
    const bool selected = SelectTable(source, cursor, sourceColumns, table, sql);
    const std::string selectLine = "\r\n/* " + sql + " */\r\n";
    WriteSqlLog(selectLine);
    WriteTextLog(selectLine);
    const int first = selected ? cursor.Fetch() : -1;
    if (first < 0)
    {
        WriteLog("ERROR: Failed to open or table is empty", "");
        return false;
    }
    if (first == 0)
    {
        WriteLog("Table is empty", "");
        cursor.Close();
        source.Disconnect();
        return true;
    }

    CStringGrid sourceTriggers;
    if (!source.GetTableTriggers(table, sourceTriggers))
    {
        WriteLog("ERROR: Failed to get source triggers", "");
        return false;
    }
    std::vector<SColumnInfo> sourceInfo;
    GetColumnInfo(source, table, sourceInfo);
    const std::map<std::string, std::string> sourceIdentities = ReadIdentities(source, sourceInfo);

    CFbConnection dest(m_nAttempts);
    if (!dest.Connect(m_sDestUser, m_sDestPassword, m_sDestDb))
    {
        WriteLog("ERROR: Cannot open destination database", m_sDestDb);
        return false;
    }
    CStringGrid destColumns;
    std::string describeError;
    if (!DescribeStatement(dest, sql, destColumns, describeError))
    {
        WriteLog("ERROR: Failed to open or table is empty", "");
        return false;
    }
    // Computed columns take no value: they stay out of the INSERT.
    std::vector<SColumnInfo> destInfo;
    GetColumnInfo(dest, table, destInfo);
    RemoveComputedColumns(destColumns, destInfo);

    bool failed = false;
    if (m_emptiedTables.count(table))
        failed = m_failedEmptying.count(table) > 0; // emptied before the run's first insert
    else if (!CleanupTable(dest, table))
        failed = true;
    if (!SetTriggersActive(dest, table, false))
        failed = true;
    int failedRecords = 0;
    if (!InsertRows(source, cursor, dest, sourceColumns, destColumns, table, failedRecords))
        failed = true;
    if (!SetGenerators(dest, sourceTriggers, table))
        failed = true;
    if (!SetIdentities(dest, table, destInfo, sourceIdentities))
        failed = true;
    if (!SetTriggersActive(dest, table, true))
        failed = true;
    dest.Disconnect();
    cursor.Close();
    source.Disconnect();

    if (!failed)
        WriteLog("Copy finished successfully", "");
    else
        WriteLog("WARNING: Copy failed", "");
    if (failedRecords != 0)
        WriteReport(failedRecords, table);
    return !failed;
}
