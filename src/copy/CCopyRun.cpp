#include "copy/CCopyRun.h"

#include "copy/CCopyEngine.h"
#include "copy/CRunPlan.h"

#include <set>

namespace
{
struct SFinished
{
    int index;
    std::string table;
    bool copied;
};
} // namespace

SCopyRunResult RunCopyJob(const CCopyJob& job, const std::atomic<bool>& stop, const SCopyRunEvents& events)
{
    SCopyRunResult result;
    if (!job.m_pEngine || !job.m_pTables || !job.m_pEngine->BeginRun())
        return result;
    result.started = true;
    CCopyEngine& engine = *job.m_pEngine;
    std::vector<std::string> names;
    for (int i = 0; i < job.m_pTables->RowCount(); ++i)
        names.push_back(job.m_pTables->GetCell(0, i));

    // Tables that foreign keys join are emptied children first and filled
    // parents first; all others keep the list order.
    const SRunPlan plan = names.empty() ? SRunPlan{} : engine.PlanTables(names, job.m_nMode);
    if (plan.reordered)
        engine.BeginReorderedRun(plan);
    std::set<std::string> deferredChildren;
    for (const SForeignKey& key : plan.deferred)
        deferredChildren.insert(key.childTable);

    const auto finish = [&](const SFinished& table) {
        if (!table.copied)
        {
            result.allCopied = false;
            ++result.failedTables;
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
    const int count = static_cast<int>(order.size());
    std::set<std::string> filled;
    std::vector<SFinished> waiting; // finished only once their deferred keys are set
    for (int i = 0; i < count; ++i)
    {
        const std::string& name = order[static_cast<size_t>(i)];
        if (events.tableStarted)
            events.tableStarted(listIndex(i, name), count, name, 100 * i / count);
        const bool copied = engine.RunTable(name, job.m_nMode);
        ++result.tablesRun;
        filled.insert(name);
        if (deferredChildren.count(name))
            waiting.push_back({listIndex(i, name), name, copied});
        else
            finish({listIndex(i, name), name, copied});
        if (stop.load() && i + 1 < count)
        {
            result.stopped = true;
            break;
        }
    }
    for (const SForeignKey& key : plan.deferred)
    {
        // A key whose parent was never filled (the run stopped) stays NULL: its table counts as failed.
        const bool set = filled.count(key.parentTable) && engine.ApplyDeferredKey(key);
        for (SFinished& table : waiting)
        {
            if (table.table == key.childTable && !set)
                table.copied = false;
        }
    }
    for (const SFinished& table : waiting)
        finish(table);
    if (plan.reordered)
        engine.EndReorderedRun();
    result.lostLogFile = engine.LostLogFile();
    engine.EndRun();
    return result;
}
