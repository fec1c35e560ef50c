// Runs whose tables foreign keys or CHECKs join: each group is checked as a
// whole, emptied children first in one transaction, filled parents first,
// and its deferred columns are set afterwards.
#include "copy/write/CGroupCopy.h"

#include "copy/logs/CRunLogs.h"
#include "copy/plan/TablePlan.h"
#include "copy/read/CSourceRowReader.h"
#include "copy/run/CAbortSignal.h"
#include "copy/run/CRunSession.h"
#include "copy/write/CTableCopy.h"
#include "copy/write/DeferredColumns.h"
#include "copy/write/TableSteps.h"
#include "db/CFbConnection.h"
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

std::string BrokenGroupReason(const SGroupInProgress& group)
{
    return "Not copied: it is copied together with " + group.brokenTable + ", which failed (" +
           CRunLogs::OneLine(group.brokenReason) + ")";
}

bool Contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}
} // namespace

SGroupInProgress::SGroupInProgress(int attempts) : source(attempts), dest(attempts) {}

// The waiting copies go first: they hold cursors on the group's attachments.
SGroupInProgress::~SGroupInProgress()
{
    waiting.clear();
}

CGroupCopy::CGroupCopy(CRunSession& run) : m_run(run) {}

CGroupCopy::~CGroupCopy()
{
    // A run that leaves before the group's end (an exception) must not let
    // the attachment's detach commit the emptied tables: the group's
    // transaction goes back and its triggers come on again.
    if (!m_state)
        return;
    m_state->waiting.clear();
    m_state->dest.Rollback();
    SwitchTriggersOn(true);
}

SGroupInProgress* CGroupCopy::Replacing(const std::string& table) const
{
    return m_state && m_state->Replaces(table) ? m_state.get() : nullptr;
}

std::set<std::string> CGroupCopy::DeferredColumnsOf(const std::string& table) const
{
    if (!m_state)
        return {};
    const auto found = m_state->deferredColumns.find(table);
    return found != m_state->deferredColumns.end() ? found->second : std::set<std::string>{};
}

void CGroupCopy::Wait(std::unique_ptr<CTableCopy> copy)
{
    m_state->waiting.push_back(std::move(copy));
}

void CGroupCopy::Break(const std::string& table, const std::string& reason)
{
    if (!m_state || !m_state->Replaces(table) || !m_state->brokenTable.empty())
        return;
    m_state->brokenTable = table;
    m_state->brokenReason = reason;
}

std::string CGroupCopy::Refusal(const std::string& table) const
{
    const auto found = m_refusals.find(table);
    return found != m_refusals.end() ? found->second : std::string();
}

bool CGroupCopy::AttachBoth(const std::string& first)
{
    const SRunSettings& settings = m_run.Settings();
    CRunLogs& logs = m_run.Logs();
    logs.SetTable(first);
    if (!m_state->source.Connect(settings.source.user, settings.source.password, settings.source.database))
    {
        logs.WriteLog("ERROR: Cannot open source database", settings.source.database);
        return false;
    }
    if (!m_state->dest.Connect(settings.dest.user, settings.dest.password, settings.dest.database))
    {
        logs.WriteLog("ERROR: Cannot open destination database", settings.dest.database);
        return false;
    }
    return true;
}

bool CGroupCopy::Begin(const STableGroup& group, const std::vector<SDeferredColumns>& deferred)
{
    m_sFailure.clear();
    m_refusals.clear();
    m_state = std::make_unique<SGroupInProgress>(m_run.Settings().attempts);
    const std::string& first = group.fillOrder.front();
    if (!AttachBoth(first))
        return Fail(group, first);
    // Every table is described and planned before any is emptied: a table
    // that could not be refilled must not lose its rows, nor may the tables
    // whose keys hold on to it.
    std::vector<std::string> toEmpty;
    if (!PlanTables(group, deferred, toEmpty))
        return false;
    // The reading and planning above must not hold the group's transaction
    // open across the switching of triggers, which commits.
    m_state->dest.Commit();
    if (!SwitchTriggersOff(group, toEmpty))
        return false;
    // Noted before the rows go: a run killed from here on leaves the tables
    // named for the next run, which says so and can copy them again.
    m_run.NoteUnfinished(toEmpty);
    std::string failedTable;
    if (!Empty(group, deferred, toEmpty, failedTable))
    {
        m_state->dest.Rollback();
        SwitchTriggersOn(m_run.AbortRequested());
        if (Contains(toEmpty, failedTable))
            m_refusals[failedTable] = "Failed to cleanup table!";
        return Fail(group, failedTable);
    }
    for (const std::string& table : group.fillOrder)
    {
        const std::set<std::string> columns = DeferredColumnsIn(deferred, table);
        if (!columns.empty())
            m_state->deferredColumns[table] = columns;
    }
    return true;
}

bool CGroupCopy::PlanTables(const STableGroup& group, const std::vector<SDeferredColumns>& deferred,
                            std::vector<std::string>& toEmpty)
{
    CRunLogs& logs = m_run.Logs();
    CFbConnection& source = m_state->source;
    CFbConnection& dest = m_state->dest;
    std::vector<std::string> refused;
    for (const std::string& table : group.fillOrder)
    {
        logs.SetTable(table);
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
            logs.WriteLog("ERROR: Failed to open or table is empty", "");
            refused.push_back(table);
            m_refusals[table] = "Failed to open or table is empty";
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
            logs.WriteLog(problem, "");
        if (!plan.problems.empty())
        {
            refused.push_back(table);
            const std::string& problem = plan.problems.front();
            m_refusals[table] = problem.rfind("ERROR: ", 0) == 0 ? problem.substr(7) : problem;
        }
        toEmpty.push_back(table);
    }
    return refused.empty() || Fail(group, Joined(refused, ", "));
}

bool CGroupCopy::SwitchTriggersOff(const STableGroup& group, const std::vector<std::string>& toEmpty)
{
    // The group's triggers go off before any row is touched, and stay off
    // until the group's transaction has ended: an update or delete trigger
    // would otherwise reach into tables copied before, or ones the copy
    // leaves alone. Switching them off commits, so it comes first.
    CTriggerSwitch& triggers = m_run.Triggers();
    for (const std::string& table : toEmpty)
    {
        m_run.Logs().SetTable(table);
        if (triggers.SetActive(m_state->dest, table, false))
        {
            m_state->replaced.push_back(table);
            continue;
        }
        m_refusals[table] =
            triggers.JournalRefused() ? "The trigger journal could not be written" : "Failed to modify TRIGGER!";
        // Those of its triggers that did go off come on again with the others.
        if (!triggers.JournalRefused())
        {
            if (!m_run.AbortRequested())
                triggers.ForgetStillOn(m_state->dest, table);
            m_state->replaced.push_back(table);
        }
        SwitchTriggersOn(m_run.AbortRequested());
        return Fail(group, table);
    }
    return true;
}

bool CGroupCopy::Empty(const STableGroup& group, const std::vector<SDeferredColumns>& deferred,
                       const std::vector<std::string>& toEmpty, std::string& failedTable)
{
    CRunLogs& logs = m_run.Logs();
    CFbConnection& dest = m_state->dest;
    // Deferred keys of the old rows let go of the rows they point at first.
    for (const SDeferredColumns& entry : deferred)
    {
        if (!entry.clearBeforeEmptying || !Contains(toEmpty, entry.table))
            continue;
        logs.SetTable(entry.table);
        if (!ClearDeferredColumns(dest, entry, logs))
        {
            failedTable = entry.table;
            return false;
        }
    }
    for (const std::string& table : group.emptyOrder)
    {
        if (!Contains(toEmpty, table))
            continue;
        logs.SetTable(table);
        if (!EmptyTable(dest, table, logs))
        {
            failedTable = table;
            return false;
        }
    }
    return true;
}

void CGroupCopy::SwitchTriggersOn(bool afterAbort)
{
    for (const std::string& table : m_state->replaced)
    {
        m_run.Logs().SetTable(table);
        // A cancel may still ride on the group's attachment after an abort.
        if (afterAbort || !m_state->dest.IsConnected())
            m_run.Triggers().RestoreAfterAbort(table);
        else
            m_run.Triggers().SetActive(m_state->dest, table, true);
    }
    // What did not come on again stays in the journal, for the next start.
    m_state->replaced.clear();
}

std::string CGroupCopy::SkipBroken(const std::string& table)
{
    if (!m_state || m_state->brokenTable.empty())
        return m_sFailure;
    CRunLogs& logs = m_run.Logs();
    logs.SetTable(table);
    logs.WriteLog("ERROR: Not copied: it is copied together with " + m_state->brokenTable + ", which failed",
                  CRunLogs::OneLine(m_state->brokenReason));
    logs.WriteLog("WARNING: Copy failed", "");
    return BrokenGroupReason(*m_state);
}

bool CGroupCopy::Fail(const STableGroup& group, const std::string& reason)
{
    m_sFailure = "Not copied: it is copied together with " + CRunLogs::OneLine(reason) + ", which cannot be refilled";
    CRunLogs& logs = m_run.Logs();
    for (const std::string& table : group.fillOrder)
    {
        logs.SetTable(table);
        logs.WriteLog("ERROR: Not copied: the tables joined by keys or CHECKs are copied together and one cannot be",
                      reason);
        logs.WriteLog("WARNING: Copy failed", "");
    }
    m_state.reset();
    return false;
}

std::set<std::string> CGroupCopy::SetDeferredColumns(const std::vector<SDeferredColumns>& deferred, bool abort)
{
    std::set<std::string> filled;
    for (const auto& copy : m_state->waiting)
        filled.insert(copy->Table());
    std::set<std::string> failed;
    // Columns are set where both their table and the one they wait for were
    // filled, in the group's transaction.
    for (const SDeferredColumns& entry : deferred)
    {
        if (abort || Broken() || !filled.count(entry.table) || !filled.count(entry.waitsFor))
            continue;
        m_run.Logs().SetTable(entry.table);
        const EDeferred set = ApplyDeferredColumns(m_state->source, m_state->dest, entry, m_run.Logs(), m_run.Abort());
        if (set == EDeferred::RowsFailed)
            failed.insert(entry.table);
        else if (set == EDeferred::Broken)
        {
            m_state->brokenTable = entry.table;
            m_state->brokenReason = "Failed to set deferred columns";
        }
    }
    return failed;
}

std::string CGroupCopy::Decide(bool abort)
{
    std::string whyNot;
    CFbConnection& dest = m_state->dest;
    if (abort || m_run.AbortRequested())
        whyNot = "Copy aborted by the user";
    else if (Broken())
        whyNot = BrokenGroupReason(*m_state);
    else if (!dest.Commit())
    {
        whyNot = "Failed to commit the copied rows: " + CRunLogs::OneLine(dest.LastErrorMessage());
        m_run.Logs().WriteSqlLog("COMMIT;");
        m_run.Logs().WriteSqlFailure(dest.LastErrorMessage());
    }
    if (!whyNot.empty())
        dest.Rollback();
    return whyNot;
}

CGroupCopy::SEnd CGroupCopy::End(const std::vector<SDeferredColumns>& deferred)
{
    SEnd end;
    if (!m_state)
        return end;
    const bool abort = m_run.AbortRequested();
    const std::set<std::string> deferredFailed = SetDeferredColumns(deferred, abort);
    const std::string whyNot = Decide(abort);
    end.committed = whyNot.empty();
    for (auto& copy : m_state->waiting)
    {
        STableOutcome outcome = copy->FinishInGroup(end.committed, whyNot);
        if (deferredFailed.count(copy->Table()))
        {
            outcome.status = ETableStatus::Failed;
            if (outcome.error.empty())
                outcome.error = "Failed to set deferred columns";
        }
        if (outcome.status == ETableStatus::Failed && outcome.error.empty())
            outcome.error = m_run.Logs().FirstFailure();
        if (outcome.status == ETableStatus::Failed && outcome.error.empty())
            outcome.error = "Copy failed";
        end.outcomes.push_back(outcome);
    }
    SwitchTriggersOn(abort);
    m_state->waiting.clear();
    m_state->source.Disconnect();
    m_state->dest.Disconnect();
    m_state.reset();
    return end;
}
