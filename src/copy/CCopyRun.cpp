#include "copy/CCopyRun.h"

#include "copy/CCopyEngine.h"
#include "copy/CRunPlan.h"

#include <algorithm>
#include <chrono>
#include <set>

namespace
{
struct SFinished
{
    int index;
    std::string table;
    bool copied;
    long long rows = 0;
};
} // namespace

SCopyRunResult RunCopyJob(const CCopyJob& job, const std::atomic<bool>& stop, const SCopyRunEvents& events)
{
    SCopyRunResult result;
    if (!job.m_pEngine || !job.m_pTables || !job.m_pEngine->BeginRun())
        return result;
    CCopyEngine& engine = *job.m_pEngine;
    // Two copies into one destination would switch each other's triggers.
    if (!engine.Journal().Claim(engine.DestinationKey(), result.heldBy))
    {
        if (result.heldBy.empty())
            result.journalUnwritable = engine.Journal().Path();
        engine.EndRun();
        return result;
    }
    result.started = true;
    // One pair of attachments serves every table of the run.
    engine.ShareAttachments(true);
    // Rows a crashed run left prepared hide from every reader until decided.
    engine.ResolveInterruptedCommits(job.m_eLogging);
    std::vector<std::string> names;
    for (int i = 0; i < job.m_pTables->RowCount(); ++i)
        names.push_back(job.m_pTables->GetCell(0, i));
    result.tables.resize(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        result.tables[i].table = names[i];

    // Tables that foreign keys or CHECKs join are copied as a group: emptied
    // together, children first, and filled parents first. All others keep
    // the list order and are emptied by their own copy.
    const SRunPlan plan = names.empty() ? SRunPlan{} : engine.PlanTables(names, job.m_eLogging);
    engine.ReportPlan(plan);

    const auto finish = [&](const SFinished& table) {
        if (!table.copied)
        {
            result.allCopied = false;
            ++result.failedTables;
        }
        else
            result.rowsCopied += table.rows;
        STableOutcome& outcome = result.tables[static_cast<size_t>(table.index)];
        // A table whose deferred columns could not be set fails after its rows arrived.
        if (!table.copied && (outcome.status == ETableStatus::Copied || outcome.status == ETableStatus::EmptySource))
        {
            outcome.status = ETableStatus::Failed;
            if (outcome.error.empty())
                outcome.error = "Failed to set deferred columns";
        }
        if (events.tableFinished)
            events.tableFinished(table.index, table.table, table.copied);
    };
    const std::vector<std::string>& order = plan.reordered ? plan.fillOrder : names;
    const auto listIndex = [&](int position, const std::string& name) {
        if (!plan.reordered)
            return position;
        for (size_t i = 0; i < names.size(); ++i)
        {
            if (names[i] == name)
                return static_cast<int>(i);
        }
        return position;
    };
    // The engine says when a table's rows are read back; the run names its row.
    engine.SetVerifyListener([&](const std::string& table) {
        const auto found = std::find(names.begin(), names.end(), table);
        if (events.tableVerifying && found != names.end())
            events.tableVerifying(static_cast<int>(found - names.begin()), table);
    });
    std::set<std::string> deferredTables;
    for (const SDeferredColumns& entry : plan.deferred)
        deferredTables.insert(entry.table);

    const int count = static_cast<int>(order.size());
    // The rows of each table, for the progress within it and the run's
    // share done, weighted by row counts.
    std::vector<long long> rowCounts(order.size(), -1);
    if (events.tableProgress)
    {
        if (job.m_sourceRows.size() == names.size())
        {
            for (int i = 0; i < count; ++i)
                rowCounts[static_cast<size_t>(i)] =
                    job.m_sourceRows[static_cast<size_t>(listIndex(i, order[static_cast<size_t>(i)]))];
        }
        else
            rowCounts = engine.CountSourceRows(order);
    }
    CProgressMeter meter(rowCounts);
    int progressIndex = 0;
    bool firstRows = true;
    auto lastReport = CProgressMeter::Clock::now();
    long long tableRows = 0;
    engine.SetRowListener([&](long long rows, bool all) {
        tableRows = rows;
        if (!events.tableProgress)
            return;
        const auto now = CProgressMeter::Clock::now();
        if (firstRows)
        {
            // The speed counts from the first row, not from the emptying.
            meter.StartTable(static_cast<size_t>(progressIndex), now);
            firstRows = false;
        }
        if (!all && now - lastReport < events.progressInterval)
            return;
        lastReport = now;
        events.tableProgress(listIndex(progressIndex, order[static_cast<size_t>(progressIndex)]),
                             meter.Update(rows, now));
    });
    const STableGroup* group = nullptr; // the group in progress
    bool groupReady = false;
    size_t groupLeft = 0;
    std::set<std::string> filled;   // tables of the group whose copy ended
    std::vector<SFinished> waiting; // finished only once their deferred columns are set
    const auto endGroup = [&] {
        for (const SDeferredColumns& entry : plan.deferred)
        {
            // Columns are set where both their table and the one they wait
            // for were filled; after an abort that is not all of the group.
            if (!groupReady || !filled.count(entry.table) || !filled.count(entry.waitsFor))
                continue;
            if (!engine.ApplyDeferredColumns(entry))
            {
                for (SFinished& table : waiting)
                    table.copied = table.copied && table.table != entry.table;
            }
        }
        for (const SFinished& table : waiting)
            finish(table);
        waiting.clear();
        filled.clear();
        engine.EndGroup();
        group = nullptr;
    };
    for (int i = 0; i < count; ++i)
    {
        const std::string& name = order[static_cast<size_t>(i)];
        if (!group && (group = plan.GroupOf(name)) != nullptr)
        {
            groupReady = engine.BeginGroup(*group, plan.deferred);
            groupLeft = group->fillOrder.size();
        }
        if (events.tableStarted)
            events.tableStarted(listIndex(i, name), count, name, 100 * i / count);
        progressIndex = i;
        firstRows = true;
        tableRows = 0;
        meter.StartTable(static_cast<size_t>(i), CProgressMeter::Clock::now());
        if (events.tableProgress)
            events.tableProgress(listIndex(i, name), meter.Update(0, CProgressMeter::Clock::now()));
        // A group that cannot be refilled is not touched at all.
        const auto began = std::chrono::steady_clock::now();
        const bool skipped = group && !groupReady;
        const bool copied = !skipped && engine.RunTable(name, job.m_eLogging);
        ++result.tablesRun;
        meter.FinishTable();
        if (events.tableProgress)
        {
            events.tableProgress(listIndex(i, name), meter.Update(0, CProgressMeter::Clock::now()));
        }
        result.aborted = engine.AbortRequested();
        // An abort that came once the table's rows were committed (while they
        // were read back) rolls nothing back. Outside a group, or at its end,
        // it ends the run after the table as a stop does.
        const bool committed = copied || engine.TableOutcome().rowsWritten > 0;
        const bool afterTable = result.aborted && committed && !skipped && (!group || groupLeft == 1);
        if (afterTable)
            result.aborted = false;
        if (result.aborted)
            result.abortedTable = name;
        STableOutcome& outcome = result.tables[static_cast<size_t>(listIndex(i, name))];
        if (skipped)
        {
            // The table that kept its group from being copied failed for
            // its own reason; the others were not attempted.
            const std::string own = engine.GroupRefusal(name);
            outcome.status = own.empty() ? ETableStatus::Skipped : ETableStatus::Failed;
            outcome.error = own.empty() ? engine.GroupFailure() : own;
        }
        else
        {
            outcome = engine.TableOutcome();
            outcome.table = name;
            // Rows committed before the abort came are the table's copy.
            if (result.aborted && !committed)
                outcome.status = ETableStatus::Stopped;
        }
        if (result.aborted && committed)
            result.abortedAfterCommit = true;
        outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (group && groupReady && !result.aborted)
            filled.insert(name);
        if (group && groupReady && deferredTables.count(name))
            waiting.push_back({listIndex(i, name), name, copied, tableRows});
        else
            finish({listIndex(i, name), name, copied, tableRows});
        if (group && result.aborted && groupReady)
        {
            // The tables of the group not reached stay emptied: the log says
            // so, and they are failures that a retry fills again.
            const auto next = std::find(group->fillOrder.begin(), group->fillOrder.end(), name);
            for (const std::string& unfilled : engine.ReportUnfilled({next + 1, group->fillOrder.end()}))
            {
                const auto position = std::find(order.begin(), order.end(), unfilled) - order.begin();
                STableOutcome& left = result.tables[static_cast<size_t>(listIndex(static_cast<int>(position), unfilled))];
                left.table = unfilled;
                left.status = ETableStatus::Failed;
                left.error = NotRefilledMessage;
                result.leftEmptied.push_back(unfilled);
                result.allCopied = false;
                ++result.failedTables;
                if (events.tableFinished)
                    events.tableFinished(listIndex(static_cast<int>(position), unfilled), unfilled, false);
            }
            // The aborted table itself went back to the emptied state.
            if (!committed && !skipped)
            {
                outcome.status = ETableStatus::Failed;
                result.leftEmptied.insert(result.leftEmptied.begin(), name);
            }
        }
        if (group && (--groupLeft == 0 || result.aborted))
            endGroup();
        // A stop takes effect between tables, and never inside a group: its
        // tables are empty until each one is refilled. An abort ends the run.
        if (result.aborted)
        {
            result.notStarted = count - i - 1;
            break;
        }
        if ((afterTable || (!group && stop.load())) && i + 1 < count)
        {
            result.stopped = true;
            result.stoppedAfter = name;
            result.notStarted = count - i - 1;
            engine.ReportStopped(name, {order.begin() + i + 1, order.end()});
            break;
        }
    }
    engine.SetRowListener({});
    engine.ShareAttachments(false);
    result.lostLogFile = engine.LostLogFile();
    std::vector<std::string> failed;
    for (const STableOutcome& outcome : result.tables)
    {
        if (outcome.status == ETableStatus::Failed || outcome.status == ETableStatus::Skipped)
            failed.push_back(outcome.table);
        if (outcome.leftEmptied &&
            std::find(result.leftEmptied.begin(), result.leftEmptied.end(), outcome.table) == result.leftEmptied.end())
            result.leftEmptiedByFailure.push_back(outcome.table);
    }
    for (const std::string& table : engine.CommittedFromLimbo())
    {
        const auto copied = std::find_if(result.tables.begin(), result.tables.end(), [&](const STableOutcome& outcome) {
            return outcome.table == table && outcome.status == ETableStatus::Copied;
        });
        if (copied != result.tables.end())
            continue;
        result.committedFromLimbo.push_back(table);
        result.allCopied = false;
        ++result.failedTables;
        if (std::find(failed.begin(), failed.end(), table) == failed.end())
            failed.push_back(table);
    }
    if (!engine.FailedTables().Store(engine.DestinationKey(), failed))
        result.failedTablesNotRecorded = engine.FailedTables().Path();
    engine.SetVerifyListener({});
    for (CTriggerJournal::SEntry& entry : engine.Journal().Entries(engine.DestinationKey()))
    {
        if (entry.owner == CTriggerJournal::ThisProcess())
            result.triggersLeftOff.push_back(std::move(entry));
    }
    engine.Journal().Release(engine.DestinationKey());
    engine.EndRun();
    return result;
}
