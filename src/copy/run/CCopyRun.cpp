#include "copy/run/CCopyRun.h"

#include "copy/plan/CRunPlan.h"
#include "copy/run/CCopyEngine.h"
#include "copy/run/CRunSession.h"
#include "copy/run/RunSteps.h"
#include "copy/write/InterruptedCommits.h"
#include "core/NumberText.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <set>

namespace
{
bool IsCopied(const STableOutcome& outcome)
{
    return outcome.status == ETableStatus::Copied || outcome.status == ETableStatus::EmptySource;
}

// One run through the job's tables: single tables in list order, the
// tables that keys join as one group each.
class CJobRun
{
  public:
    CJobRun(CRunSession& session, const CCopyJob& job, const std::atomic<bool>& stop, const SCopyRunEvents& events,
            SCopyRunResult& result)
        : m_session(session), m_job(job), m_stop(stop), m_events(events), m_result(result), m_engine(*job.m_pEngine)
    {
    }

    void Run();

  private:
    // Before the first table: what earlier runs left behind.
    void TakeOverLeftBehind();
    // The outcome of a table of the group that was not attempted.
    void SkipInGroup(bool ready, STableOutcome& outcome, const std::string& name);
    // Ends the group: its waiting tables get what its commit came to.
    bool EndGroup(const std::vector<int>& waiting, int last, bool aborted);
    int ListIndex(int position) const;
    STableOutcome& OutcomeAt(int position) { return m_result.tables[static_cast<size_t>(ListIndex(position))]; }
    void CountRows();
    void ListenForRows();
    void StartTable(int position);
    // counted: the table's rows count as done for the bar (not after an abort).
    void EndTableProgress(int position, bool counted = true);
    void Finish(int position, bool copied, long long rows, bool aborted = false);
    // The run ends after the table at position: names what it leaves out.
    void NotStartedAfter(int position);
    // Each false when the run ends after it.
    bool RunSingle(int position);
    bool RunGroup(int& position);
    bool StopsAfter(int position, bool requested);
    void RecordFailures();

    CRunSession& m_session;
    const CCopyJob& m_job;
    const std::atomic<bool>& m_stop;
    const SCopyRunEvents& m_events;
    SCopyRunResult& m_result;
    CCopyEngine& m_engine;
    std::vector<std::string> m_names;
    SRunPlan m_plan;
    std::vector<std::string> m_order;
    int m_nCount = 0;
    std::unique_ptr<CProgressMeter> m_meter;
    int m_nProgressIndex = 0;
    bool m_bFirstRows = true;
    CProgressMeter::Clock::time_point m_lastReport;
    std::vector<std::string> m_unfinishedBefore;
    std::vector<std::string> m_committedFromLimbo;
};

int CJobRun::ListIndex(int position) const
{
    if (!m_plan.reordered)
        return position;
    const std::string& name = m_order[static_cast<size_t>(position)];
    const auto found = std::find(m_names.begin(), m_names.end(), name);
    return found != m_names.end() ? static_cast<int>(found - m_names.begin()) : position;
}

void CJobRun::CountRows()
{
    // The rows of each table, for the progress within it and the run's
    // share done, weighted by row counts.
    std::vector<long long> rowCounts(m_order.size(), -1);
    if (m_events.tableProgress)
    {
        if (m_job.m_sourceRows.size() == m_names.size())
        {
            for (int i = 0; i < m_nCount; ++i)
                rowCounts[static_cast<size_t>(i)] = m_job.m_sourceRows[static_cast<size_t>(ListIndex(i))];
        }
        else
            rowCounts = CountSourceRows(m_engine.Settings(), m_order, &m_session.Abort());
    }
    m_meter = std::make_unique<CProgressMeter>(rowCounts);
}

void CJobRun::ListenForRows()
{
    m_lastReport = CProgressMeter::Clock::now();
    const auto onRows = [this](long long rows, bool all) {
        if (!m_events.tableProgress)
            return;
        const auto now = CProgressMeter::Clock::now();
        if (m_bFirstRows)
        {
            // The speed counts from the first row, not from the emptying.
            m_meter->StartTable(static_cast<size_t>(m_nProgressIndex), now);
            m_bFirstRows = false;
        }
        if (!all && now - m_lastReport < m_events.progressInterval)
            return;
        m_lastReport = now;
        m_events.tableProgress(ListIndex(m_nProgressIndex), m_meter->Update(rows, now));
    };
    // The copy says when a table's rows are read back; the run names its row.
    const auto onVerifying = [this](const std::string& table) {
        const auto found = std::find(m_names.begin(), m_names.end(), table);
        if (m_events.tableVerifying && found != m_names.end())
            m_events.tableVerifying(static_cast<int>(found - m_names.begin()), table);
    };
    m_session.SetListeners(onRows, onVerifying);
}

void CJobRun::StartTable(int position)
{
    const std::string& name = m_order[static_cast<size_t>(position)];
    if (m_events.tableStarted)
        m_events.tableStarted(ListIndex(position), m_nCount, name, 100 * position / m_nCount);
    m_nProgressIndex = position;
    m_bFirstRows = true;
    m_meter->StartTable(static_cast<size_t>(position), CProgressMeter::Clock::now());
    if (m_events.tableProgress)
        m_events.tableProgress(ListIndex(position), m_meter->Update(0, CProgressMeter::Clock::now()));
}

void CJobRun::EndTableProgress(int position, bool counted)
{
    ++m_result.tablesRun;
    // Rolled back, the table's rows are not done: the bar stays where it was.
    if (!counted)
        return;
    m_meter->FinishTable();
    if (m_events.tableProgress)
        m_events.tableProgress(ListIndex(position), m_meter->Update(0, CProgressMeter::Clock::now()));
}

void CJobRun::Finish(int position, bool copied, long long rows, bool aborted)
{
    if (!copied)
    {
        m_result.allCopied = false;
        if (!aborted)
            ++m_result.failedTables;
    }
    else
        m_result.rowsCopied += rows;
    m_result.rowsRolledBack += OutcomeAt(position).rowsRolledBack;
    if (m_events.tableFinished)
        m_events.tableFinished(ListIndex(position), m_order[static_cast<size_t>(position)], copied);
    if (m_events.tableEnded)
        m_events.tableEnded(ListIndex(position), OutcomeAt(position));
}

void CJobRun::NotStartedAfter(int position)
{
    m_result.notStarted = m_nCount - position - 1;
    m_result.notStartedTables.assign(m_order.begin() + position + 1, m_order.end());
}

bool CJobRun::StopsAfter(int position, bool requested)
{
    if (!requested || position + 1 >= m_nCount)
        return false;
    m_result.stopped = true;
    m_result.stoppedAfter = m_order[static_cast<size_t>(position)];
    NotStartedAfter(position);
    ReportStopped(m_engine.Logs(), m_result.stoppedAfter, m_result.notStartedTables);
    return true;
}

bool CJobRun::RunSingle(int position)
{
    const std::string& name = m_order[static_cast<size_t>(position)];
    StartTable(position);
    const auto began = std::chrono::steady_clock::now();
    const STableOutcome copy = m_session.CopyTable(name, m_job.m_eLogging);
    const bool copied = IsCopied(copy);
    // An abort that came once the table's rows were committed (while they
    // were read back) rolls nothing back: the run ends after the table as
    // a stop does.
    const bool committed = copied || copy.rowsWritten > 0;
    const bool aborted = m_engine.AbortRequested() && !committed;
    EndTableProgress(position, !aborted);
    STableOutcome& outcome = OutcomeAt(position);
    outcome = copy;
    outcome.table = name;
    if (aborted)
        outcome.status = ETableStatus::Stopped;
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    Finish(position, copied, outcome.rowsWritten, aborted);
    if (aborted)
    {
        m_result.aborted = true;
        m_result.abortedTable = name;
        NotStartedAfter(position);
        ReportAborted(m_engine.Logs(), name, m_result.notStartedTables);
        return false;
    }
    return !StopsAfter(position, m_engine.AbortRequested() || m_stop.load());
}

void CJobRun::SkipInGroup(bool ready, STableOutcome& outcome, const std::string& name)
{
    // The table that kept its group from being copied failed for its own
    // reason; the others were not attempted.
    CGroupCopy& group = *m_session.Group();
    const std::string own = group.Refusal(name);
    outcome.table = name;
    outcome.status = own.empty() ? ETableStatus::Skipped : ETableStatus::Failed;
    outcome.error = !own.empty() ? own : ready ? group.SkipBroken(name) : group.Failure();
}

bool CJobRun::RunGroup(int& position)
{
    const STableGroup& group = *m_plan.GroupOf(m_order[static_cast<size_t>(position)]);
    const bool ready = m_session.BeginGroup(group, m_plan.deferred);
    const int first = position;
    const int end = std::min(m_nCount, first + static_cast<int>(group.fillOrder.size()));
    std::vector<int> waiting;
    bool aborted = false;
    for (position = first; position < end && !aborted; ++position)
    {
        const std::string& name = m_order[static_cast<size_t>(position)];
        StartTable(position);
        const auto began = std::chrono::steady_clock::now();
        // A group that cannot be refilled, or whose table failed, is not
        // touched any further.
        const bool skipped = !ready || m_session.Group()->Broken();
        STableOutcome& outcome = OutcomeAt(position);
        if (!skipped)
            outcome = m_session.CopyTable(name, m_job.m_eLogging);
        const bool copied = !skipped && IsCopied(outcome);
        aborted = m_engine.AbortRequested();
        EndTableProgress(position, !aborted);
        if (skipped)
            SkipInGroup(ready, outcome, name);
        outcome.table = name;
        outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (!skipped && m_session.TableWaits())
            waiting.push_back(position);
        else if (aborted && !skipped)
        {
            outcome.status = ETableStatus::Stopped;
            Finish(position, false, 0, true);
        }
        else
            Finish(position, copied, outcome.rowsWritten);
    }
    position = position - 1;
    return EndGroup(waiting, position, aborted);
}

bool CJobRun::EndGroup(const std::vector<int>& waiting, int last, bool aborted)
{
    // The group's one transaction ends here: committed whole, or rolled
    // back whole after an abort or a failure.
    const CGroupCopy::SEnd ended = m_session.EndGroup(m_plan.deferred);
    for (size_t i = 0; i < waiting.size() && i < ended.outcomes.size(); ++i)
    {
        STableOutcome& outcome = OutcomeAt(waiting[i]);
        const double seconds = outcome.seconds;
        outcome = ended.outcomes[i];
        outcome.seconds = seconds;
        if (aborted && !ended.committed)
            outcome.status = ETableStatus::Stopped;
        Finish(waiting[i], outcome.status == ETableStatus::Copied, outcome.rowsWritten, aborted && !ended.committed);
    }
    if (aborted && !ended.committed)
    {
        m_result.aborted = true;
        m_result.abortedTable = m_order[static_cast<size_t>(last)];
        NotStartedAfter(last);
        ReportAborted(m_engine.Logs(), m_result.abortedTable, m_result.notStartedTables);
        return false;
    }
    // A stop takes effect between tables, and never inside a group; an
    // abort that came once the group was committed ends the run as a stop.
    return !StopsAfter(last, m_engine.AbortRequested() || m_stop.load());
}

void CJobRun::RecordFailures()
{
    m_result.lostLogFile = m_engine.Logs().LostLogFile();
    std::vector<std::string> failed;
    for (const STableOutcome& outcome : m_result.tables)
    {
        if (outcome.status == ETableStatus::Failed || outcome.status == ETableStatus::Skipped)
            failed.push_back(outcome.table);
    }
    for (const std::string& table : m_committedFromLimbo)
    {
        const auto copied =
            std::find_if(m_result.tables.begin(), m_result.tables.end(), [&](const STableOutcome& outcome) {
                return outcome.table == table && outcome.status == ETableStatus::Copied;
            });
        if (copied != m_result.tables.end())
            continue;
        m_result.committedFromLimbo.push_back(table);
        m_result.allCopied = false;
        ++m_result.failedTables;
        if (std::find(failed.begin(), failed.end(), table) == failed.end())
            failed.push_back(table);
    }
    // What a killed run left unfinished stays to be copied again until a
    // run copies it.
    for (const std::string& table : m_unfinishedBefore)
    {
        const auto copied =
            std::find_if(m_result.tables.begin(), m_result.tables.end(), [&](const STableOutcome& outcome) {
                return outcome.table == table &&
                       (outcome.status == ETableStatus::Copied || outcome.status == ETableStatus::EmptySource);
            });
        if (copied == m_result.tables.end() && std::find(failed.begin(), failed.end(), table) == failed.end())
            failed.push_back(table);
    }
    if (!m_engine.FailedTables().Store(m_engine.DestinationKey(), failed))
        m_result.failedTablesNotRecorded = m_engine.FailedTables().Path();
    else
        m_engine.FailedTables().ClearUnfinished(m_engine.DestinationKey());
}

void CJobRun::TakeOverLeftBehind()
{
    m_engine.Preparation().ReportCopies(m_job.m_eLogging);
    // Rows a crashed run left prepared hide from every reader until decided.
    bool ended = true;
    m_committedFromLimbo =
        ResolveInterruptedCommits(m_engine.Settings(), m_engine.Logs(), m_session.SharedAttachments(), ended);
    // Tables a killed run was replacing: named now, recorded again at the end.
    m_unfinishedBefore = m_engine.FailedTables().Unfinished(m_engine.DestinationKey());
    m_result.unfinishedByKilledRun = m_unfinishedBefore;
    ReportUnfinished(m_engine.Logs(), m_unfinishedBefore);
}

void CJobRun::Run()
{
    m_session.SetLogging(m_job.m_eLogging);
    // One pair of attachments serves every table of the run.
    m_session.ShareAttachments();
    TakeOverLeftBehind();
    for (int i = 0; i < m_job.m_pTables->RowCount(); ++i)
        m_names.push_back(m_job.m_pTables->GetCell(0, i));
    m_result.tables.resize(m_names.size());
    for (size_t i = 0; i < m_names.size(); ++i)
        m_result.tables[i].table = m_names[i];

    // Tables that foreign keys or CHECKs join are copied as a group: emptied
    // together, children first, and filled parents first. All others keep
    // the list order and are emptied by their own copy.
    m_plan = m_names.empty() ? SRunPlan{} : PlanTables(m_engine.Settings(), m_names);
    ReportPlan(m_engine.Logs(), m_plan, m_engine.Preparation().KilledRunCopies());
    m_order = m_plan.reordered ? m_plan.fillOrder : m_names;
    m_nCount = static_cast<int>(m_order.size());
    CountRows();
    ListenForRows();
    for (int i = 0; i < m_nCount; ++i)
    {
        const bool goOn = m_plan.GroupOf(m_order[static_cast<size_t>(i)]) ? RunGroup(i) : RunSingle(i);
        if (!goOn)
            break;
    }
    RecordFailures();
    m_engine.Preparation().ReportDiskUse(m_job.m_eLogging);
    // Triggers this run switched off and could not switch on again.
    for (CTriggerJournal::SEntry& entry : m_engine.Journal().Entries(m_engine.DestinationKey()))
    {
        if (entry.owner == CTriggerJournal::ThisProcess())
            m_result.triggersLeftOff.push_back(std::move(entry));
    }
}
} // namespace

SCopyRunResult RunCopyJob(const CCopyJob& job, const std::atomic<bool>& stop, const SCopyRunEvents& events)
{
    SCopyRunResult result;
    if (!job.m_pEngine || !job.m_pTables)
        return result;
    CCopyEngine& engine = *job.m_pEngine;
    // Whatever way the run ends, the session gives back what it took.
    CRunSession session(engine);
    if (!session.Begun())
        return result;
    if (!session.ClaimDestination(result.heldBy))
    {
        if (result.heldBy.empty())
            result.journalUnwritable = engine.Journal().Path();
        return result;
    }
    result.started = true;
    const auto began = std::chrono::steady_clock::now();
    CJobRun(session, job, stop, events, result).Run();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    return result;
}

void WriteRunSummary(CCopyEngine& engine, const SCopyRunResult& result, const std::string& keptCopy)
{
    if (!result.started)
        return;
    int copied = 0;
    for (const STableOutcome& outcome : result.tables)
        if (outcome.status == ETableStatus::Copied || outcome.status == ETableStatus::EmptySource)
            ++copied;
    const long long seconds = std::llround(result.seconds);
    char time[32];
    std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    std::string summary = "Run summary: " + std::to_string(copied) + " table(s) copied, " +
                          std::to_string(result.failedTables) + " failed, " +
                          std::to_string(result.notStartedTables.size()) + " not started; " +
                          GroupedNumber(result.rowsCopied) + " rows copied; " + time;
    if (result.aborted)
        summary += "; aborted by the user in table " + result.abortedTable;
    else if (result.stopped)
        summary += "; stopped by the user after table " + result.stoppedAfter;
    engine.Logs().SetTable({});
    engine.Logs().WriteLog(summary, "");
    if (!keptCopy.empty())
        engine.Logs().WriteLog("The destination database as it was before the copy is kept", keptCopy);
}
