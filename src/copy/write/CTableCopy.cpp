#include "copy/write/CTableCopy.h"

#include "copy/logs/CRunLogs.h"
#include "copy/logs/CStagedRunLog.h"
#include "copy/read/SourceSelect.h"
#include "copy/run/CRunSession.h"
#include "copy/verify/CopyCompare.h"
#include "copy/write/CTriggerSwitch.h"
#include "copy/write/CWriterLanes.h"
#include "copy/write/TableSteps.h"
#include "core/NumberText.h"
#include "db/CFbTransaction.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cctype>

namespace
{
// The source's columns the select reads, without the marker of its rows.
std::vector<SResultColumn> ResultColumns(CFbCursor& cursor, int unmappedColumn)
{
    std::vector<SResultColumn> columns;
    for (int i = 0; i < cursor.ColumnCount() && i != unmappedColumn; ++i)
        columns.push_back({cursor.ColumnName(i), cursor.Column(i).sqltype & ~1});
    return columns;
}

} // namespace

CTableCopy::CTableCopy(CRunSession& run, const std::string& table)
    : m_run(run), m_settings(run.Settings()), m_abort(run.Abort()), m_logs(run.Logs()), m_sTable(table),
      m_pGroup(run.GroupReplacing(table)), m_attachments(m_settings, run.SharedAttachments(), m_pGroup),
      m_source(m_attachments.Source()), m_dest(m_attachments.Dest()), m_cursor(m_source)
{
    m_outcome.table = table;
}

CTableCopy::~CTableCopy()
{
    m_cancel.reset();
    // The cursor goes before the attachments pass to the next table.
    m_cursor.Close();
    // Each table's entries reach the files when the table is done.
    m_logs.EndTable();
}

bool CTableCopy::FailBeforeRows(const std::string& message, const std::string& detail)
{
    m_logs.WriteLog(message, detail);
    return false;
}

bool CTableCopy::Aborted()
{
    m_outcome.error = "Copy aborted by the user";
    m_logs.WriteLog("Copy aborted by the user", "");
    return false;
}

bool CTableCopy::AbortedBeforeRows()
{
    Aborted();
    ReportWhatIsLeft();
    return false;
}

bool CTableCopy::CopyFailed()
{
    m_logs.WriteLog("WARNING: Copy failed", "");
    return false;
}

std::string CTableCopy::SourceSpelling()
{
    // The table list matches names without regard to letter case; each
    // database is then addressed with its own spelling ("Customer" and
    // CUSTOMER are different names to the server).
    std::vector<std::string> tables;
    if (!m_attachments.SourceTables(tables))
        return m_sTable;
    const std::vector<std::string> spellings = TableSpellings(tables, m_sTable);
    if (spellings.size() > 1)
        m_sAmbiguousSource = AmbiguousTableMessage(m_sTable, spellings);
    return spellings.size() == 1 ? spellings.front() : m_sTable;
}

bool CTableCopy::IsDestinationTable(std::string& reason)
{
    std::vector<std::string> tables;
    if (!m_attachments.DestTables(tables))
    {
        reason = m_dest.LastErrorMessage();
        return false;
    }
    if (std::find(tables.begin(), tables.end(), m_sTable) != tables.end())
        return true;
    // A view would take the DELETE and the INSERTs through to its tables
    // with their triggers active; a temporary table forgets the rows.
    CStringGrid kind;
    int failure = 0;
    m_dest.Execute("SELECT IIF(rdb$view_blr IS NULL, 'a system, temporary or external table', 'a view')"
                   " FROM rdb$relations WHERE rdb$relation_name = '" +
                       EscapeSqlString(m_sTable) + "'",
                   failure, &kind);
    reason = failure == 0 && kind.RowCount() == 1 ? "it is " + kind.GetCell(0, 0) + ", not a table of its own"
                                                  : "the destination has no such table";
    return false;
}

SSourceSelectOptions CTableCopy::PlanSourceText()
{
    SSourceSelectOptions options;
    options.legacyCharset = m_settings.sourceCharset;
    const bool legacy = !m_settings.sourceCharset.empty() && HasNoneText(m_sourceInfo);
    if (legacy || HasRealText(m_sourceInfo))
    {
        // Which NONE columns become text, and which texts go on as their
        // bytes, depends on the destination's columns. An attachment that
        // fails here is not tried once more for the rows.
        m_bDestRefused = !m_dest.Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database);
        std::map<std::string, std::string> declaredCharsets;
        if (!m_bDestRefused && GetColumnInfo(m_dest, m_sTable, m_destInfo))
        {
            if (legacy)
                options.legacyColumns = LegacyTextColumns(m_sourceInfo, m_destInfo);
            options.bytesColumns = TextIntoBytesColumns(m_sourceInfo, m_destInfo);
            PlanDeclaredUnmappedBytes(m_source, m_sourceInfo, m_destInfo, options, declaredCharsets);
        }
        if (!options.legacyColumns.empty())
            options.unmappedBytes = UnmappedBytes(m_source, m_settings.sourceCharset);
        // The marker names a column by its place in the select, which lists
        // the source's columns in their order.
        for (size_t i = 0; i < m_sourceInfo.size(); ++i)
        {
            const std::string& name = m_sourceInfo[i].name;
            if (options.legacyColumns.count(name) && !options.unmappedBytes.empty())
                m_unmappedByColumn[static_cast<int>(i)] = {m_settings.sourceCharset, options.unmappedBytes};
            else if (options.declaredUnmapped.count(name))
                m_unmappedByColumn[static_cast<int>(i)] = {declaredCharsets[name], options.declaredUnmapped[name]};
        }
    }
    return options;
}

CTableCopy::ESource CTableCopy::OpenSource()
{
    if (!m_source.Connect(m_settings.source.user, m_settings.source.password, m_settings.source.database))
    {
        FailBeforeRows("ERROR: Cannot open source database", m_settings.source.database);
        return ESource::Failed;
    }
    m_sSourceTable = SourceSpelling();
    if (!m_sAmbiguousSource.empty())
    {
        // Either table would be a guess at the other's expense.
        FailBeforeRows("ERROR: Failed to open or table is empty", m_sAmbiguousSource);
        return ESource::Failed;
    }
    GetColumnInfo(m_source, m_sSourceTable, m_sourceInfo);
    SSourceSelectOptions options = PlanSourceText();
    options.inlineBlobs = !m_source.IsInProcess();
    const std::string sql =
        m_sourceInfo.empty() ? "" : BuildSourceSelect(m_source, m_sSourceTable, m_sourceInfo, options);
    const bool selected = !sql.empty() && m_cursor.Open(sql);
    // The select lists the source's columns, and the marker after them.
    const int marker = static_cast<int>(m_sourceInfo.size());
    m_nUnmappedColumn = selected && !m_unmappedByColumn.empty() && m_cursor.ColumnCount() == marker + 1 &&
                                m_cursor.ColumnName(marker) == UnmappedByteColumn
                            ? marker
                            : -1;
    const std::string selectLine = "\r\n/* " + sql + " */\r\n";
    m_logs.WriteSqlLog(selectLine);
    m_logs.WriteTextLog(selectLine);
    const int first = selected ? m_cursor.Fetch() : -1;
    if (first < 0)
    {
        // The server's reason, or the plain fact, goes with the message.
        const std::string reason = m_sourceInfo.empty() ? "the source has no table " + m_sSourceTable
                                                        : CRunLogs::OneLine(m_cursor.LastErrorMessage());
        m_logs.WriteSqlFailure(reason);
        FailBeforeRows("ERROR: Failed to open or table is empty", reason);
        return ESource::Failed;
    }
    if (first == 0)
    {
        m_outcome.status = ETableStatus::EmptySource;
        m_logs.WriteLog("Table is empty", "");
        return ESource::Empty;
    }
    if (!m_source.GetTableTriggers(m_sSourceTable, m_sourceTriggers))
    {
        FailBeforeRows("ERROR: Failed to get source triggers", CRunLogs::OneLine(m_source.LastErrorMessage()));
        return ESource::Failed;
    }
    m_sourceIdentities = ReadIdentities(m_source, m_sourceInfo);
    return ESource::Rows;
}

bool CTableCopy::OpenDestination()
{
    if (m_bDestRefused || !m_dest.Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database))
        return FailBeforeRows("ERROR: Cannot open destination database", m_settings.dest.database);
    // The destination is described from its own system tables, whatever
    // the source holds.
    std::string notATable;
    if (!IsDestinationTable(notATable))
        return FailBeforeRows("ERROR: Failed to open or table is empty", CRunLogs::OneLine(notATable));
    // Read once: the source's select may have asked for them already.
    if ((m_destInfo.empty() && !GetColumnInfo(m_dest, m_sTable, m_destInfo)) || m_destInfo.empty())
        return FailBeforeRows("ERROR: Failed to open or table is empty", CRunLogs::OneLine(m_dest.LastErrorMessage()));
    m_plan = BuildTablePlan(m_sTable, MatchSourceColumns(ResultColumns(m_cursor, m_nUnmappedColumn), m_sourceInfo),
                            m_destInfo, m_run.DeferredColumnsOf(m_sTable));
    if (m_plan.problems.empty())
        return true;
    // Refused before anything is written: the destination keeps its rows.
    for (const std::string& problem : m_plan.problems)
        m_logs.WriteLog(problem, "");
    m_logs.WriteLog("WARNING: Copy failed", "");
    return false;
}

bool CTableCopy::CommitRows(CFbTransaction& rows, std::string& error)
{
    if (!m_lanes)
    {
        const bool committed = rows.Commit();
        error = rows.Error();
        return committed;
    }
    std::string leftInLimbo;
    const bool committed = m_lanes->CommitWith(rows, error, leftInLimbo);
    if (!leftInLimbo.empty())
        m_logs.WriteLog("ERROR: Rows of this table wait in prepared transactions; the next run into this database"
                        " ends them",
                        CRunLogs::OneLine(leftInLimbo));
    return committed;
}

void CTableCopy::PublishRows(CStagedRunLog& stagedRows, bool committed, bool aborted)
{
    if (!m_logs.Logging())
        return;
    CLogWriter& runLog = m_logs.RunWriter();
    // After a failure of the destination or an abort one entry says how many rows went back.
    if (!stagedRows.Publish(
            committed, m_logs.TablePrefix(), [&](const std::string& text) { runLog.AppendText(text); },
            !m_bDestBroke && !aborted))
        runLog.MarkLost();
}

void CTableCopy::AbortedRows(long long rows)
{
    m_outcome.rowsRolledBack = rows;
    if (rows > 0)
        m_logs.WriteLog(GroupedNumber(rows) + " rows rolled back: aborted by the user", "");
}

void CTableCopy::ReportWhatIsLeft()
{
    // Asked through an attachment of its own, which no cancel has reached.
    CFbConnection check(m_settings.attempts);
    CStringGrid left;
    int failure = 0;
    if (check.Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database))
        check.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(m_sTable), failure, &left);
    if (check.IsConnected() && failure == 0 && left.RowCount() == 0)
        m_logs.WriteLog("ERROR: The table was emptied for this run and is not refilled", "");
    else if (check.IsConnected() && failure == 0)
        m_logs.WriteLog("The table holds the rows it had before this copy", "");
}

bool CTableCopy::Verify(int failedRecords)
{
    m_run.NoteVerifying(m_sTable);
    m_cursor.Close();
    std::vector<SVerifyColumn> columns;
    std::vector<std::string> computed;
    for (size_t i = 0; i < m_plan.columns.size(); ++i)
    {
        const SColumnPlan& column = m_plan.columns[i];
        const SColumnInfo* source = FindColumnNamed(m_sourceInfo, column.name);
        if (!source)
            continue;
        if (column.value == EColumnValue::NotWritten && !source->computed)
            computed.push_back(column.name);
        if (column.value != EColumnValue::Source)
            continue;
        columns.push_back({*source, m_destInfo[i], column.legacyText ? m_settings.sourceCharset : ""});
    }
    STableVerification result = VerifyTable(m_source, m_dest, m_sSourceTable, m_sTable, columns);
    result.computedInDestination = computed;
    m_outcome.verified = true;
    m_outcome.verification = result;
    for (const auto& [message, detail] : VerificationEntries(result, failedRecords))
        m_logs.WriteLog(message, detail);
    return result.Identical();
}

STableOutcome CTableCopy::Run()
{
    const bool succeeded = RunSteps();
    m_attachments.SetSucceeded(succeeded);
    if (m_outcome.status != ETableStatus::EmptySource)
        m_outcome.status = succeeded ? ETableStatus::Copied : ETableStatus::Failed;
    return m_outcome;
}

bool CTableCopy::RunSteps()
{
    m_logs.SetTable(m_sTable);
    m_logs.BeginTable();
    m_logs.WriteLog("Starting copy process...", "");
    const std::string header = "\r\n\r\n/* " + m_sTable + "*/\r\n";
    m_logs.WriteSqlLog(header);
    m_logs.WriteTextLog(header);
    if (m_abort.Raised())
        return Aborted();

    const ESource source = OpenSource();
    if (source != ESource::Rows)
        return source == ESource::Empty;
    if (!OpenDestination())
        return false;
    // The group switched the triggers off and emptied the table already.
    return m_pGroup ? FillForGroup() : ReplaceRows();
}

bool CTableCopy::TriggersStayOn()
{
    m_cancel.reset();
    CTriggerSwitch& triggers = m_run.Triggers();
    // An abort cancels the statement that switches them off, which may then
    // wait uncommitted in this attachment's transaction: it goes, and the
    // triggers are switched on again from an attachment of its own.
    if (m_abort.Raised() && !triggers.JournalRefused())
    {
        m_dest.Rollback();
        triggers.RestoreAfterAbort(m_sTable);
        return AbortedBeforeRows();
    }
    if (triggers.JournalRefused())
        m_outcome.error = "The trigger journal could not be written";
    else
    {
        triggers.ForgetStillOn(m_dest, m_sTable);
        triggers.SetActive(m_dest, m_sTable, true);
        m_outcome.error = "The triggers could not be switched off; the table is not touched";
        m_logs.WriteLog("ERROR: The triggers could not be switched off; the table is not touched", "");
    }
    return CopyFailed();
}

bool CTableCopy::EmptyingFailed(CTriggersOff& triggersOff)
{
    // Rows added to old rows that stay would be a mix of both databases.
    m_cancel.reset();
    const bool abort = m_abort.Raised();
    triggersOff.SwitchOn(abort);
    return abort ? AbortedBeforeRows() : CopyFailed();
}

bool CTableCopy::WriteRows(CStagedRunLog& stagedRows, int& failedRecords, int& insertedRows, bool& committed,
                           std::string& commitError)
{
    // The rows go in as one transaction; left uncommitted it goes back.
    CFbTransaction rows(m_dest);
    if (!InsertRows(stagedRows, failedRecords, insertedRows))
        m_bRowsFailed = true;
    m_cancel.reset();
    if (m_abort.Raised())
        return true;
    // Rows of a source read only in part are no copy of it: they go back,
    // as the rows of a stopped copy do.
    if (!m_bSourceBroke && !m_bDestBroke)
        committed = CommitRows(rows, commitError);
    return false;
}

void CTableCopy::ReportRolledBack(bool abort, int insertedRows, const std::string& commitError)
{
    if (abort)
    {
        if (m_outcome.error.empty())
            m_outcome.error = "Copy aborted by the user";
        AbortedRows(insertedRows);
        m_logs.WriteLog("Copy aborted by the user", "");
    }
    else if (m_bSourceBroke)
        m_logs.WriteLog("The rows read before the source failed were rolled back", "");
    else if (m_bDestBroke)
        m_logs.WriteLog("The rows written before the destination failed were rolled back",
                        std::to_string(insertedRows) + " rows");
    else
    {
        m_logs.WriteLog("ERROR: Failed to commit the copied rows", CRunLogs::OneLine(commitError));
        m_logs.WriteSqlLog("COMMIT;");
        m_logs.WriteSqlFailure(commitError);
    }
    ReportWhatIsLeft();
}

void CTableCopy::NoteWriters(int writers)
{
    m_outcome.writers = writers;
    m_run.NoteWriters(writers);
}

bool CTableCopy::FollowRows()
{
    const bool generators = SetGenerators(m_source, m_dest, m_sourceTriggers, m_sTable, m_logs);
    const bool identities = SetIdentities(m_dest, m_sTable, m_destInfo, m_sourceIdentities, m_logs);
    return generators && identities;
}

bool CTableCopy::ReplaceRows()
{
    RegisterCancel();
    // The triggers go off before the table is emptied: a delete trigger
    // would otherwise reach into other tables, copied ones or those the copy
    // leaves alone. Switching them off commits; the DELETE then belongs to
    // the rows' transaction, and a copy that does not finish gives the old
    // rows back. A trigger that cannot be switched off (no right to alter
    // it, a dialect that refuses the statement) would fire on every row and
    // change what arrives: the table is not touched.
    if (!m_run.Triggers().SetActive(m_dest, m_sTable, false))
        return TriggersStayOn();
    CTriggersOff triggersOff(m_run.Triggers(), m_dest, m_sTable);
    // Noted before the rows go: a run killed from here on leaves the table
    // named for the next run to report and copy again.
    m_run.NoteUnfinished({m_sTable});
    if (!EmptyTable(m_dest, m_sTable, m_logs))
        return EmptyingFailed(triggersOff);
    int failedRecords = 0;
    int insertedRows = 0;
    CStagedRunLog stagedRows;
    bool committed = false;
    std::string commitError;
    const bool abort = WriteRows(stagedRows, failedRecords, insertedRows, committed, commitError);
    bool failed = m_bRowsFailed;
    m_lanes.reset();
    // Only now is it known which rows arrived.
    PublishRows(stagedRows, committed, abort);
    if (!committed)
    {
        failed = true;
        // Rows an abort took back are the user's choice, not failed records.
        if (!abort)
            failedRecords += insertedRows;
        ReportRolledBack(abort, insertedRows, commitError);
    }
    m_outcome.rowsWritten = committed ? insertedRows : 0;
    m_outcome.rowsFailed = failedRecords;
    if (committed && !FollowRows())
        failed = true;
    if (!triggersOff.SwitchOn(abort))
        failed = true;
    // What was committed is read back: the proof that every value arrived.
    if (committed && m_settings.verify && !Verify(failedRecords))
        failed = true;
    if (!m_attachments.CloseDestination() && !abort)
    {
        failed = true;
        m_logs.WriteLog("ERROR: Failed to close the destination database",
                        CRunLogs::OneLine(m_dest.LastErrorMessage()));
    }
    m_cursor.Close();
    m_attachments.CloseSource();
    // An aborted table has said so; it did not fail.
    if (!abort)
        m_logs.WriteLog(failed ? "WARNING: Copy failed" : "Copy finished successfully", "");
    if (failedRecords != 0)
        m_logs.WriteReport(failedRecords, m_sTable);
    return !failed;
}

bool CTableCopy::FillForGroup()
{
    RegisterCancel();
    m_staged = std::make_unique<CStagedRunLog>();
    m_bRowsFailed = !InsertRows(*m_staged, m_nFailedRecords, m_nInsertedRows);
    m_cancel.reset();
    const bool abort = m_abort.Raised();
    // Rows of a source read only in part are no copy of it, and a
    // destination that failed takes no more: the group goes back with them.
    if (!abort && !m_bSourceBroke && !m_bDestBroke)
    {
        m_bWaiting = true;
        return true;
    }
    PublishRows(*m_staged, false, abort);
    const int failedRecords = m_nFailedRecords + (abort ? 0 : m_nInsertedRows);
    m_outcome.rowsFailed = failedRecords;
    if (abort)
    {
        AbortedRows(m_nInsertedRows);
        Aborted();
    }
    else if (m_bSourceBroke)
        m_logs.WriteLog("The rows read before the source failed were rolled back", "");
    else
        m_logs.WriteLog("The rows written before the destination failed were rolled back",
                        std::to_string(m_nInsertedRows) + " rows");
    m_logs.WriteLog("The rows of the tables copied together are rolled back; the table holds the rows it had before "
                    "this copy",
                    "");
    if (!abort)
        m_logs.WriteLog("WARNING: Copy failed", "");
    if (failedRecords != 0)
        m_logs.WriteReport(failedRecords, m_sTable);
    return false;
}

STableOutcome CTableCopy::FinishInGroup(bool committed, const std::string& whyNot)
{
    m_logs.SetTable(m_sTable);
    m_logs.BeginTable();
    // The group goes back with an abort of one of its tables.
    const bool abort = !committed && m_abort.Raised();
    PublishRows(*m_staged, committed, abort);
    bool failed = m_bRowsFailed;
    int failedRecords = m_nFailedRecords;
    if (abort)
        AbortedRows(m_nInsertedRows);
    if (!committed)
    {
        failed = true;
        if (!abort)
            failedRecords += m_nInsertedRows;
        m_logs.WriteLog("The rows of the tables copied together were rolled back; the table holds the rows it had "
                        "before this copy",
                        CRunLogs::OneLine(whyNot));
        if (m_outcome.error.empty())
            m_outcome.error = whyNot;
    }
    m_outcome.rowsWritten = committed ? m_nInsertedRows : 0;
    m_outcome.rowsFailed = failedRecords;
    if (committed && !FollowRows())
        failed = true;
    if (committed && m_settings.verify && !Verify(failedRecords))
        failed = true;
    if (!abort)
        m_logs.WriteLog(failed ? "WARNING: Copy failed" : "Copy finished successfully", "");
    if (failedRecords != 0)
        m_logs.WriteReport(failedRecords, m_sTable);
    m_logs.EndTable();
    m_outcome.status = failed ? ETableStatus::Failed : ETableStatus::Copied;
    return m_outcome;
}
