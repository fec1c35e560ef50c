// Runs whose tables foreign keys or CHECKs join: each group is checked as a
// whole, emptied children first in one transaction, filled parents first,
// and its deferred columns are set afterwards.
#include "copy/run/CCopyEngine.h"
#include "copy/logs/LogValues.h"

#include "copy/plan/CRunPlan.h"
#include "copy/read/CSourceRowReader.h"
#include "copy/write/CTableCopy.h"
#include "copy/write/GroupInProgress.h"
#include "copy/plan/TablePlan.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"
#include "db/CFbParamStatement.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <algorithm>

namespace
{
// The deferred columns of one table, as a plan of that table names them.
std::set<std::string> DeferredColumnsIn(const std::vector<SDeferredColumns>& deferred, const std::string& table)
{
    std::set<std::string> columns;
    for (const SDeferredColumns& entry : deferred)
    {
        if (entry.table == table)
            columns.insert(entry.columns.begin(), entry.columns.end());
    }
    return columns;
}
} // namespace

SGroupInProgress::SGroupInProgress(int attempts) : source(attempts), dest(attempts) {}

// The waiting copies go first: they hold cursors on the group's attachments.
SGroupInProgress::~SGroupInProgress()
{
    waiting.clear();
}

SRunPlan CCopyEngine::PlanTables(const std::vector<std::string>& tables, ELogging logging)
{
    m_settings.logging = logging;
    m_logs.SetLogging(logging);
    CFbConnection dest(m_settings.attempts);
    dest.Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database);
    return PlanRunIn(dest, tables);
}

void CCopyEngine::ReportPlan(const SRunPlan& plan)
{
    // Kept where it lies; the log says where, as the front ends do.
    for (const std::string& copy : m_killedRunCopies)
    {
        m_logs.SetTable({});
        WriteLog("WARNING: A copy that was ended before it finished left the destination database as it was before "
                 "that copy; it is kept",
                 copy);
    }
    if (!plan.unbreakable.empty())
    {
        m_logs.SetTable(plan.unbreakable.front());
        WriteLog("ERROR: Foreign keys form a cycle that no nullable key can break", Joined(plan.unbreakable, ", "));
    }
    for (const SCheckRead& check : plan.undeferredChecks)
    {
        m_logs.SetTable(check.checkedTable);
        WriteLog("WARNING: CHECK constraint " + check.constraint + " reads " + check.readTable + "." +
                     check.readColumn +
                     ", which cannot wait until this table is filled (NOT NULL, or no primary key): rows it "
                     "refuses fail",
                 "");
    }
}

bool CCopyEngine::BeginGroup(const STableGroup& group, const std::vector<SDeferredColumns>& deferred)
{
    m_sGroupFailure.clear();
    m_groupRefusals.clear();
    m_group = std::make_unique<SGroupInProgress>(m_settings.attempts);
    CFbConnection& source = m_group->source;
    CFbConnection& dest = m_group->dest;
    const std::string& first = group.fillOrder.front();
    m_logs.SetTable(first);
    if (!source.Connect(m_settings.source.user, m_settings.source.password, m_settings.source.database))
    {
        WriteLog("ERROR: Cannot open source database", m_settings.source.database);
        return FailGroup(group, first);
    }
    if (!dest.Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database))
    {
        WriteLog("ERROR: Cannot open destination database", m_settings.dest.database);
        return FailGroup(group, first);
    }

    // Every table is described and planned before any is emptied: a table
    // that could not be refilled must not lose its rows, nor may the tables
    // whose keys hold on to it.
    std::vector<std::string> toEmpty;
    std::vector<std::string> refused;
    for (const std::string& table : group.fillOrder)
    {
        m_logs.SetTable(table);
        CStringGrid rows;
        int failure = 0;
        source.Execute("SELECT FIRST 1 1 FROM " + SqlIdentifier(table), failure, &rows);
        if (failure == 0 && rows.RowCount() == 0)
            continue; // an empty source keeps the destination's rows
        std::vector<SColumnInfo> sourceInfo;
        std::vector<SColumnInfo> destInfo;
        std::vector<SResultColumn> described;
        std::string error;
        if (failure != 0 || !GetColumnInfo(source, table, sourceInfo) || !GetColumnInfo(dest, table, destInfo) ||
            destInfo.empty() || !DescribeResultTypes(source, "SELECT * FROM " + SqlIdentifier(table), described, error))
        {
            WriteLog("ERROR: Failed to open or table is empty", "");
            refused.push_back(table);
            m_groupRefusals[table] = "Failed to open or table is empty";
            continue;
        }
        const std::set<std::string> deferredColumns = DeferredColumnsIn(deferred, table);
        STablePlan plan = BuildTablePlan(table, MatchSourceColumns(described, sourceInfo), destInfo, deferredColumns);
        std::vector<std::string> primaryKey;
        if (!deferredColumns.empty() && (!GetPrimaryKey(dest, table, primaryKey) || primaryKey.empty()))
            plan.problems.push_back("ERROR: Columns that must be set after the other tables cannot be found again "
                                    "without a primary key: " +
                                    Joined({deferredColumns.begin(), deferredColumns.end()}, ", "));
        for (const std::string& problem : plan.problems)
            WriteLog(problem, "");
        if (!plan.problems.empty())
        {
            refused.push_back(table);
            const std::string& problem = plan.problems.front();
            m_groupRefusals[table] = problem.rfind("ERROR: ", 0) == 0 ? problem.substr(7) : problem;
        }
        toEmpty.push_back(table);
    }
    if (!refused.empty())
        return FailGroup(group, Joined(refused, ", "));
    // The reading and planning above must not hold the group's transaction
    // open across the switching of triggers, which commits.
    dest.Commit();

    // The group's triggers go off before any row is touched, and stay off
    // until the group's transaction has ended: an update or delete trigger
    // would otherwise reach into tables copied before, or ones the copy
    // leaves alone. Switching them off commits, so it comes first.
    for (const std::string& table : toEmpty)
    {
        m_logs.SetTable(table);
        if (SetTriggersActive(dest, table, false))
        {
            m_group->replaced.push_back(table);
            continue;
        }
        m_groupRefusals[table] =
            JournalRefused() ? "The trigger journal could not be written" : "Failed to modify TRIGGER!";
        // Those of its triggers that did go off come on again with the others.
        if (!JournalRefused())
        {
            if (!AbortRequested())
                ForgetTriggersStillOn(dest, table);
            m_group->replaced.push_back(table);
        }
        SwitchGroupTriggersOn(AbortRequested());
        return FailGroup(group, table);
    }

    // Noted before the rows go: a run killed from here on leaves the tables
    // named for the next run, which says so and can copy them again.
    NoteUnfinished(toEmpty);
    std::string failedTable;
    if (!EmptyGroup(group, deferred, toEmpty, failedTable))
    {
        dest.Rollback();
        SwitchGroupTriggersOn(AbortRequested());
        if (std::find(toEmpty.begin(), toEmpty.end(), failedTable) != toEmpty.end())
            m_groupRefusals[failedTable] = "Failed to cleanup table!";
        return FailGroup(group, failedTable);
    }
    for (const std::string& table : group.fillOrder)
    {
        const std::set<std::string> columns = DeferredColumnsIn(deferred, table);
        if (!columns.empty())
            m_group->deferredColumns[table] = columns;
    }
    return true;
}

bool CCopyEngine::EmptyGroup(const STableGroup& group, const std::vector<SDeferredColumns>& deferred,
                             const std::vector<std::string>& toEmpty, std::string& failedTable)
{
    CFbConnection& dest = m_group->dest;
    // Deferred keys of the old rows let go of the rows they point at first.
    for (const SDeferredColumns& entry : deferred)
    {
        const bool emptiedTable = std::find(toEmpty.begin(), toEmpty.end(), entry.table) != toEmpty.end();
        if (!entry.clearBeforeEmptying || !emptiedTable)
            continue;
        m_logs.SetTable(entry.table);
        std::string sql = "UPDATE " + SqlIdentifier(entry.table) + " SET ";
        for (size_t c = 0; c < entry.columns.size(); ++c)
            sql += (c ? "," : "") + SqlIdentifier(entry.columns[c]) + "=NULL";
        sql += ";";
        int failure = 0;
        dest.Execute(sql, failure);
        WriteSqlLog(sql);
        if (failure != 0)
        {
            m_logs.WriteSqlFailure(dest.LastErrorMessage());
            WriteLog("ERROR: Failed to cleanup table!\r\n", m_logs.TablePrefix());
            WriteLog("ERROR: " + CRunLogs::OneLine(dest.LastErrorMessage()), "");
            failedTable = entry.table;
            return false;
        }
    }
    for (const std::string& table : group.emptyOrder)
    {
        if (std::find(toEmpty.begin(), toEmpty.end(), table) == toEmpty.end())
            continue;
        m_logs.SetTable(table);
        if (!CleanupTable(dest, table))
        {
            failedTable = table;
            return false;
        }
    }
    return true;
}

void CCopyEngine::SwitchGroupTriggersOn(bool afterAbort)
{
    for (const std::string& table : m_group->replaced)
    {
        m_logs.SetTable(table);
        // A cancel may still ride on the group's attachment after an abort.
        if (afterAbort || !m_group->dest.IsConnected())
            RestoreTriggersAfterAbort(table);
        else
            SetTriggersActive(m_group->dest, table, true);
    }
    // What did not come on again stays in the journal, for the next start.
    m_group->replaced.clear();
}

namespace
{
std::string BrokenGroupReason(const SGroupInProgress& group)
{
    return "Not copied: it is copied together with " + group.brokenTable + ", which failed (" +
           CRunLogs::OneLine(group.brokenReason) + ")";
}
} // namespace

std::string CCopyEngine::SkipInBrokenGroup(const std::string& table)
{
    if (!m_group || m_group->brokenTable.empty())
        return m_sGroupFailure;
    m_logs.SetTable(table);
    WriteLog("ERROR: Not copied: it is copied together with " + m_group->brokenTable + ", which failed",
             CRunLogs::OneLine(m_group->brokenReason));
    WriteLog("WARNING: Copy failed", "");
    return BrokenGroupReason(*m_group);
}

bool CCopyEngine::FailGroup(const STableGroup& group, const std::string& reason)
{
    m_sGroupFailure =
        "Not copied: it is copied together with " + CRunLogs::OneLine(reason) + ", which cannot be refilled";
    for (const std::string& table : group.fillOrder)
    {
        m_logs.SetTable(table);
        WriteLog("ERROR: Not copied: the tables joined by keys or CHECKs are copied together and one cannot be",
                 reason);
        WriteLog("WARNING: Copy failed", "");
    }
    m_group.reset();
    return false;
}

CCopyEngine::SGroupEnd CCopyEngine::EndGroup(const std::vector<SDeferredColumns>& deferred)
{
    SGroupEnd end;
    if (!m_group)
        return end;
    SGroupInProgress& group = *m_group;
    std::set<std::string> filled;
    for (const auto& copy : group.waiting)
        filled.insert(copy->Table());
    const bool abort = AbortRequested();
    std::set<std::string> deferredFailed;
    // Columns are set where both their table and the one they wait for were
    // filled, in the group's transaction.
    for (const SDeferredColumns& entry : deferred)
    {
        if (abort || !group.brokenTable.empty() || !filled.count(entry.table) || !filled.count(entry.waitsFor))
            continue;
        const EDeferred set = ApplyDeferredColumns(entry);
        if (set == EDeferred::RowsFailed)
            deferredFailed.insert(entry.table);
        else if (set == EDeferred::Broken)
        {
            group.brokenTable = entry.table;
            group.brokenReason = "Failed to set deferred columns";
        }
    }
    std::string whyNot;
    if (abort || AbortRequested())
        whyNot = "Copy aborted by the user";
    else if (!group.brokenTable.empty())
        whyNot = BrokenGroupReason(group);
    else if (!group.dest.Commit())
    {
        whyNot = "Failed to commit the copied rows: " + CRunLogs::OneLine(group.dest.LastErrorMessage());
        WriteSqlLog("COMMIT;");
        m_logs.WriteSqlFailure(group.dest.LastErrorMessage());
    }
    end.committed = whyNot.empty();
    if (!end.committed)
        group.dest.Rollback();
    for (auto& copy : group.waiting)
    {
        m_outcome = copy->FilledOutcome();
        bool copied = copy->FinishInGroup(end.committed, whyNot);
        if (deferredFailed.count(copy->Table()))
        {
            copied = false;
            if (m_outcome.error.empty())
                m_outcome.error = "Failed to set deferred columns";
        }
        if (!copied && m_outcome.error.empty())
            m_outcome.error = m_logs.FirstFailure();
        if (!copied && m_outcome.error.empty())
            m_outcome.error = "Copy failed";
        m_outcome.status = copied ? ETableStatus::Copied : ETableStatus::Failed;
        end.outcomes.push_back(m_outcome);
    }
    SwitchGroupTriggersOn(abort);
    group.waiting.clear();
    group.source.Disconnect();
    group.dest.Disconnect();
    m_group.reset();
    return end;
}

CCopyEngine::EDeferred CCopyEngine::ApplyDeferredColumns(const SDeferredColumns& entry)
{
    m_logs.SetTable(entry.table);
    CFbConnection& source = m_group->source;
    CFbConnection& dest = m_group->dest;
    std::vector<std::string> primaryKey;
    if (!GetPrimaryKey(dest, entry.table, primaryKey) || primaryKey.empty())
    {
        WriteLog("ERROR: Deferred columns cannot be set without a primary key", entry.constraint);
        return EDeferred::Broken;
    }
    // The columns' values as the source holds them, row by row.
    std::string select = "SELECT ";
    std::string update = "UPDATE " + SqlIdentifier(entry.table) + " SET ";
    std::string where;
    std::string notNull;
    for (size_t c = 0; c < entry.columns.size(); ++c)
    {
        select += (c ? "," : "") + SqlIdentifier(entry.columns[c]);
        update += (c ? "," : "") + SqlIdentifier(entry.columns[c]) + "=?";
        notNull += (c ? " OR " : "") + SqlIdentifier(entry.columns[c]) + " IS NOT NULL";
    }
    for (size_t c = 0; c < primaryKey.size(); ++c)
    {
        select += "," + SqlIdentifier(primaryKey[c]);
        where += (c ? " AND " : "") + SqlIdentifier(primaryKey[c]) + "=?";
    }
    select += " FROM " + SqlIdentifier(entry.table) + " WHERE " + notNull;
    update += " WHERE " + where;

    CFbCursor cursor(source);
    CFbParamStatement statement(dest);
    if (!cursor.Open(select) || !statement.Prepare(update))
    {
        WriteLog("ERROR: Failed to set deferred columns", entry.constraint);
        m_logs.WriteSqlFailure(cursor.LastErrorMessage() + statement.LastErrorMessage());
        return EDeferred::Broken;
    }
    // An abort cancels the updates as it does the inserts.
    std::vector<std::uintptr_t> cancelable;
    RegisterCancelable(dest, cancelable);
    int failedRows = 0;
    bool destBroke = false;
    int fetch = 0;
    SColumnValue value;
    while ((fetch = cursor.Fetch()) == 1)
    {
        std::string literal = update;
        for (int i = 0; i < cursor.ColumnCount(); ++i)
        {
            cursor.Value(i, EValueForm::Exact, value);
            // Numbers, dates and times go as they are, as the rows' inserts
            // send them: the server converts them to the column's type the
            // same way (a DOUBLE into a VARCHAR reads alike on both paths).
            const XSQLVAR& column = cursor.Column(i);
            const int type = column.sqltype & ~1;
            const int paramType = statement.ParamType(i);
            const bool intoText = paramType == SQL_TEXT || paramType == SQL_VARYING || paramType == SQL_BLOB;
            const bool raw = IsPlainValueType(type);
            if (value.marks & CStringGrid::MarkNull)
                statement.SetNull(i);
            else if (GoesAsCastText(type, intoText))
                statement.SetBytes(i, CastText(column), false);
            else if (raw)
                statement.SetRaw(i, type, column.sqlscale, column.sqlsubtype,
                                 std::string(column.sqldata, static_cast<unsigned short>(column.sqllen)));
            else
                statement.SetBytes(i, value.text, (value.marks & CStringGrid::MarkBinary) != 0);
            const size_t mark = literal.find('?');
            // Shown as text, as the statement binds it; a long one abbreviated.
            std::string text;
            AppendLogValue(text, ELogForm::Sql, true, value.text, value.marks & CStringGrid::MarkNull);
            literal.replace(mark, 1, text);
        }
        const bool updated = statement.Execute();
        WriteSqlLog(literal + ";");
        if (!updated)
        {
            ++failedRows;
            m_logs.WriteSqlFailure(statement.LastErrorMessage());
            // Not the row's fault: no later row would fare better, and none is kept.
            destBroke = statement.LastFault() == EFbFault::Table;
            if (destBroke)
                break;
        }
        if (AbortRequested())
            break;
    }
    UnregisterCancelable(cancelable);
    if (fetch < 0)
    {
        WriteLog("ERROR: Failed to read source rows", CRunLogs::OneLine(cursor.LastErrorMessage()));
        return EDeferred::Broken;
    }
    // The group's transaction goes back whole.
    if (destBroke)
    {
        WriteLog("ERROR: Failed to write to the destination", CRunLogs::OneLine(statement.LastErrorMessage()));
        return EDeferred::Broken;
    }
    if (failedRows != 0)
    {
        WriteLog("ERROR: Failed to set deferred columns", entry.constraint);
        m_logs.WriteReport(failedRows, entry.table);
        return EDeferred::RowsFailed;
    }
    return EDeferred::Set;
}
