#include "copy/CCopyEngine.h"

#include "copy/SourceSelect.h"
#include "copy/TablePlan.h"
#include "core/FileHelpers.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

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

namespace
{
std::vector<SResultColumn> ResultColumns(CFbCursor& cursor)
{
    std::vector<SResultColumn> columns;
    for (int i = 0; i < cursor.ColumnCount(); ++i)
        columns.push_back({cursor.ColumnName(i), cursor.Column(i).sqltype & ~1});
    return columns;
}
} // namespace

bool CCopyEngine::CommitRows(CFbConnection& dest)
{
    if (dest.Commit())
        return true;
    const std::string reason = dest.LastErrorMessage();
    dest.Rollback();
    WriteLog("ERROR: Failed to commit the copied rows", OneLine(reason));
    WriteSqlLog("COMMIT;");
    WriteSqlFailure(reason);
    return false;
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
    // A table that the run emptied ahead of its turn and that fails before
    // its rows are in stays empty: the log must say so.
    const bool emptiedAhead = m_emptiedTables.count(table) > 0;
    const auto failBeforeRows = [&](const std::string& message, const std::string& detail) {
        WriteLog(message, detail);
        if (emptiedAhead)
            WriteLog("ERROR: The table was emptied for this run and is not refilled", "");
        return false;
    };

    WriteLog("Starting copy process...", "");
    const std::string header = "\r\n\r\n/* " + table + "*/\r\n";
    WriteSqlLog(header);
    WriteTextLog(header);

    CFbConnection source(m_nAttempts);
    if (!source.Connect(m_sSourceUser, m_sSourcePassword, m_sSourceDb))
        return failBeforeRows("ERROR: Cannot open source database", m_sSourceDb);
    std::vector<SColumnInfo> sourceInfo;
    GetColumnInfo(source, table, sourceInfo);
    CFbCursor cursor(source);
    SSourceSelectOptions selectOptions;
    selectOptions.legacyCharset = m_sSourceCharset;
    if (!m_sSourceCharset.empty() && HasNoneText(sourceInfo))
    {
        // Which NONE columns become text depends on the destination's columns.
        CFbConnection peek(m_nAttempts);
        std::vector<SColumnInfo> destColumns;
        if (peek.Connect(m_sDestUser, m_sDestPassword, m_sDestDb) && GetColumnInfo(peek, table, destColumns))
            selectOptions.legacyColumns = LegacyTextColumns(sourceInfo, destColumns);
    }
    selectOptions.inlineBlobs = !source.IsInProcess();
    const std::string sql = sourceInfo.empty() ? "" : BuildSourceSelect(source, table, sourceInfo, selectOptions);
    const bool selected = !sql.empty() && cursor.Open(sql);
    const std::string selectLine = "\r\n/* " + sql + " */\r\n";
    WriteSqlLog(selectLine);
    WriteTextLog(selectLine);
    const int first = selected ? cursor.Fetch() : -1;
    if (first < 0)
    {
        if (!cursor.LastErrorMessage().empty())
            WriteSqlFailure(cursor.LastErrorMessage());
        return failBeforeRows("ERROR: Failed to open or table is empty", "");
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
        return failBeforeRows("ERROR: Failed to get source triggers", "");
    const std::map<std::string, std::string> sourceIdentities = ReadIdentities(source, sourceInfo);

    CFbConnection dest(m_nAttempts);
    if (!dest.Connect(m_sDestUser, m_sDestPassword, m_sDestDb))
        return failBeforeRows("ERROR: Cannot open destination database", m_sDestDb);
    // The destination is described from its own system tables, whatever
    // the source holds.
    std::vector<SColumnInfo> destInfo;
    if (!GetColumnInfo(dest, table, destInfo) || destInfo.empty())
        return failBeforeRows("ERROR: Failed to open or table is empty", "");
    const auto deferred = m_deferredColumns.find(table);
    const STablePlan plan =
        BuildTablePlan(table, MatchSourceColumns(ResultColumns(cursor), sourceInfo), destInfo,
                       deferred != m_deferredColumns.end() ? deferred->second : std::set<std::string>{});
    if (!plan.problems.empty())
    {
        // Refused before anything is written: the destination keeps its rows.
        for (const std::string& problem : plan.problems)
            WriteLog(problem, "");
        if (emptiedAhead)
            WriteLog("ERROR: The table was emptied for this run and is not refilled", "");
        WriteLog("WARNING: Copy failed", "");
        return false;
    }

    if (!emptiedAhead && !CleanupTable(dest, table))
    {
        // Rows added to old rows that stay would be a mix of both databases.
        WriteLog("WARNING: Copy failed", "");
        return false;
    }
    bool failed = false;
    if (!SetTriggersActive(dest, table, false))
        failed = true;
    int failedRecords = 0;
    if (!InsertRows(cursor, dest, plan, failedRecords))
        failed = true;
    const bool committed = CommitRows(dest);
    if (!committed)
    {
        failed = true;
        // Switching the triggers off committed the DELETE: then nothing is left.
        CStringGrid left;
        int failure = 0;
        dest.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(table), failure, &left);
        if (failure == 0 && left.RowCount() == 0)
            WriteLog("ERROR: The table was emptied for this run and is not refilled", "");
    }
    // Generators and identities follow rows that arrived.
    if (committed && !SetGenerators(dest, sourceTriggers, table))
        failed = true;
    if (committed && !SetIdentities(dest, table, destInfo, sourceIdentities))
        failed = true;
    if (!SetTriggersActive(dest, table, true))
        failed = true;
    if (!dest.Disconnect())
    {
        failed = true;
        WriteLog("ERROR: Failed to close the destination database", OneLine(dest.LastErrorMessage()));
    }
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
