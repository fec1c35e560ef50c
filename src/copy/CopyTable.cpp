// The copy of one table: read the source, plan against the destination's
// columns, empty, insert, commit, and set what follows the rows.
#include "copy/CCopyEngine.h"

#include "copy/CStagedRunLog.h"
#include "copy/SourceSelect.h"
#include "copy/TablePlan.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cctype>

namespace
{
std::vector<SResultColumn> ResultColumns(CFbCursor& cursor)
{
    std::vector<SResultColumn> columns;
    for (int i = 0; i < cursor.ColumnCount(); ++i)
        columns.push_back({cursor.ColumnName(i), cursor.Column(i).sqltype & ~1});
    return columns;
}

std::string Folded(const std::string& text)
{
    std::string folded = text;
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}
} // namespace

// Keeps the attachments of the table in progress where an abort can cancel
// what they are running.
class CCancelable
{
public:
    CCancelable(CCopyEngine& engine, std::initializer_list<CFbConnection*> connections) : m_engine(engine)
    {
        std::lock_guard lock(m_engine.m_cancelMutex);
        for (CFbConnection* connection : connections)
        {
            // Through a server the client library may lose the answer to a
            // request that a cancel from another thread overtakes, and then
            // waits for it forever: there the abort is seen between batches.
            if (!connection->IsInProcess())
                continue;
            m_handles.push_back(static_cast<std::uintptr_t>(*connection->DatabaseHandle()));
            m_engine.m_cancelable.push_back(m_handles.back());
        }
    }
    ~CCancelable() { Release(); }
    CCancelable(const CCancelable&) = delete;
    CCancelable& operator=(const CCancelable&) = delete;

    // Called before the attachments are closed.
    void Release()
    {
        std::lock_guard lock(m_engine.m_cancelMutex);
        for (std::uintptr_t handle : m_handles)
        {
            const auto found = std::find(m_engine.m_cancelable.begin(), m_engine.m_cancelable.end(), handle);
            if (found != m_engine.m_cancelable.end())
                m_engine.m_cancelable.erase(found);
        }
        m_handles.clear();
    }

private:
    CCopyEngine& m_engine;
    std::vector<std::uintptr_t> m_handles;
};

void CCopyEngine::RequestAbort()
{
    m_bAbort.store(true);
    std::lock_guard lock(m_cancelMutex);
    for (std::uintptr_t value : m_cancelable)
    {
        auto handle = static_cast<isc_db_handle>(value);
        ISC_STATUS_ARRAY status{};
        fb_cancel_operation(status, &handle, fb_cancel_raise);
    }
}

bool CCopyEngine::RestoreTriggersAfterAbort(const std::string& table)
{
    CFbConnection dest(m_nAttempts);
    if (!dest.Connect(m_sDestUser, m_sDestPassword, m_sDestDb))
    {
        WriteLog("ERROR: Cannot open destination database", m_sDestDb);
        return false;
    }
    const bool restored = SetTriggersActive(dest, table, true);
    return dest.Disconnect() && restored;
}

std::string CCopyEngine::SourceSpelling(CFbConnection& source, const std::string& table)
{
    // The table list matches names without regard to letter case; each
    // database is then addressed with its own spelling ("Customer" and
    // CUSTOMER are different names to the server).
    std::vector<std::string> tables;
    if (!GetUserTables(source, tables) || std::find(tables.begin(), tables.end(), table) != tables.end())
        return table;
    for (const std::string& name : tables)
    {
        if (Folded(name) == Folded(table))
            return name;
    }
    return table;
}

bool CCopyEngine::IsDestinationTable(CFbConnection& dest, const std::string& table, std::string& reason)
{
    std::vector<std::string> tables;
    if (!GetUserTables(dest, tables))
    {
        reason = dest.LastErrorMessage();
        return false;
    }
    if (std::find(tables.begin(), tables.end(), table) != tables.end())
        return true;
    // A view would take the DELETE and the INSERTs through to its tables
    // with their triggers active; a temporary table forgets the rows.
    CStringGrid kind;
    int failure = 0;
    dest.Execute("SELECT IIF(rdb$view_blr IS NULL, 'a system, temporary or external table', 'a view')"
                 " FROM rdb$relations WHERE rdb$relation_name = '" + EscapeSqlString(table) + "'",
                 failure, &kind);
    reason = failure == 0 && kind.RowCount() == 1 ? "it is " + kind.GetCell(0, 0) + ", not a table of its own"
                                                  : "the destination has no such table";
    return false;
}

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

void CCopyEngine::PublishRows(CStagedRunLog& stagedRows, bool committed)
{
    if (!m_bLog)
        return;
    m_logs.run.SetPath(m_sLogFile);
    if (!stagedRows.Publish(committed, m_sTablePrefix, [this](const std::string& text) { m_logs.run.AppendText(text); }))
        m_logs.run.MarkLost();
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
    const auto aborted = [&] {
        WriteLog("Copy aborted by the user", "");
        if (emptiedAhead)
            WriteLog("ERROR: The table was emptied for this run and is not refilled", "");
        return false;
    };

    WriteLog("Starting copy process...", "");
    const std::string header = "\r\n\r\n/* " + table + "*/\r\n";
    WriteSqlLog(header);
    WriteTextLog(header);
    if (AbortRequested())
        return aborted();

    CFbConnection source(m_nAttempts);
    if (!source.Connect(m_sSourceUser, m_sSourcePassword, m_sSourceDb))
        return failBeforeRows("ERROR: Cannot open source database", m_sSourceDb);
    const std::string sourceTable = SourceSpelling(source, table);
    std::vector<SColumnInfo> sourceInfo;
    GetColumnInfo(source, sourceTable, sourceInfo);
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
    const std::string sql = sourceInfo.empty() ? "" : BuildSourceSelect(source, sourceTable, sourceInfo, selectOptions);
    const bool selected = !sql.empty() && cursor.Open(sql);
    const std::string selectLine = "\r\n/* " + sql + " */\r\n";
    WriteSqlLog(selectLine);
    WriteTextLog(selectLine);
    const int first = selected ? cursor.Fetch() : -1;
    if (first < 0)
    {
        // The server's reason, or the plain fact, goes with the message.
        const std::string reason =
            sourceInfo.empty() ? "the source has no table " + sourceTable : OneLine(cursor.LastErrorMessage());
        WriteSqlFailure(reason);
        return failBeforeRows("ERROR: Failed to open or table is empty", reason);
    }
    if (first == 0)
    {
        WriteLog("Table is empty", "");
        cursor.Close();
        source.Disconnect();
        return true;
    }

    CStringGrid sourceTriggers;
    if (!source.GetTableTriggers(sourceTable, sourceTriggers))
        return failBeforeRows("ERROR: Failed to get source triggers", OneLine(source.LastErrorMessage()));
    const std::map<std::string, std::string> sourceIdentities = ReadIdentities(source, sourceInfo);

    CFbConnection dest(m_nAttempts);
    if (!dest.Connect(m_sDestUser, m_sDestPassword, m_sDestDb))
        return failBeforeRows("ERROR: Cannot open destination database", m_sDestDb);
    // The destination is described from its own system tables, whatever
    // the source holds.
    std::string notATable;
    std::vector<SColumnInfo> destInfo;
    if (!IsDestinationTable(dest, table, notATable))
        return failBeforeRows("ERROR: Failed to open or table is empty", OneLine(notATable));
    if (!GetColumnInfo(dest, table, destInfo) || destInfo.empty())
        return failBeforeRows("ERROR: Failed to open or table is empty", OneLine(dest.LastErrorMessage()));
    const auto deferred = m_deferredColumns.find(table);
    const STablePlan plan = BuildTablePlan(table, MatchSourceColumns(ResultColumns(cursor), sourceInfo), destInfo,
                                           deferred != m_deferredColumns.end() ? deferred->second
                                                                               : std::set<std::string>{});
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

    CCancelable cancelable(*this, {&source, &dest});
    if (!emptiedAhead && !CleanupTable(dest, table))
    {
        // Rows added to old rows that stay would be a mix of both databases.
        cancelable.Release();
        if (AbortRequested())
            return aborted();
        WriteLog("WARNING: Copy failed", "");
        return false;
    }
    bool failed = false;
    if (!SetTriggersActive(dest, table, false))
        failed = true;
    int failedRecords = 0;
    int insertedRows = 0;
    CStagedRunLog stagedRows;
    if (!InsertRows(cursor, dest, plan, stagedRows, failedRecords, insertedRows))
        failed = true;
    const bool abort = AbortRequested();
    cancelable.Release();
    std::string commitError;
    bool committed = false;
    if (!abort)
    {
        committed = dest.Commit();
        if (!committed)
            commitError = dest.LastErrorMessage();
    }
    if (!committed)
        dest.Rollback();
    // Only now is it known which rows arrived.
    PublishRows(stagedRows, committed);
    if (!committed)
    {
        failed = true;
        failedRecords += insertedRows;
        if (abort)
            WriteLog("Copy aborted by the user", "");
        else
        {
            WriteLog("ERROR: Failed to commit the copied rows", OneLine(commitError));
            WriteSqlLog("COMMIT;");
            WriteSqlFailure(commitError);
        }
        // Switching the triggers off committed the DELETE: then nothing is left.
        CFbConnection check(m_nAttempts);
        CStringGrid left;
        int failure = 0;
        if (check.Connect(m_sDestUser, m_sDestPassword, m_sDestDb))
            check.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(table), failure, &left);
        if (check.m_bConnected && failure == 0 && left.RowCount() == 0)
            WriteLog("ERROR: The table was emptied for this run and is not refilled", "");
    }
    // Generators and identities follow rows that arrived.
    if (committed && !SetGenerators(dest, sourceTriggers, table))
        failed = true;
    if (committed && !SetIdentities(dest, table, destInfo, sourceIdentities))
        failed = true;
    if (!(abort ? RestoreTriggersAfterAbort(table) : SetTriggersActive(dest, table, true)))
        failed = true;
    if (!dest.Disconnect() && !abort)
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
