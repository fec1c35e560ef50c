#include "copy/CCopyRun.h"

#include "copy/CCopyEngine.h"
#include "copy/CRunPlan.h"

#include <algorithm>
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

    // Tables that foreign keys or CHECKs join are copied as a group: emptied
    // together, children first, and filled parents first. All others keep
    // the list order and are emptied by their own copy.
    const SRunPlan plan = names.empty() ? SRunPlan{} : engine.PlanTables(names, job.m_nMode);
    engine.ReportPlan(plan);

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
    std::set<std::string> deferredTables;
    for (const SDeferredColumns& entry : plan.deferred)
        deferredTables.insert(entry.table);

    const int count = static_cast<int>(order.size());
    const STableGroup* group = nullptr; // the group in progress
    bool groupReady = false;
    size_t groupLeft = 0;
    std::vector<SFinished> waiting; // finished only once their deferred columns are set
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
        // A group that cannot be refilled is not touched at all.
        const bool copied = (!group || groupReady) && engine.RunTable(name, job.m_nMode);
        ++result.tablesRun;
        if (group && groupReady && deferredTables.count(name))
            waiting.push_back({listIndex(i, name), name, copied});
        else
            finish({listIndex(i, name), name, copied});
        if (group && --groupLeft == 0)
        {
            for (const SDeferredColumns& entry : plan.deferred)
            {
                if (!groupReady || !deferredTables.count(entry.table) ||
                    std::find(group->fillOrder.begin(), group->fillOrder.end(), entry.table) == group->fillOrder.end())
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
            engine.EndGroup();
            group = nullptr;
        }
        // A stop takes effect between tables, and never inside a group: its
        // tables are empty until each one is refilled.
        if (!group && stop.load() && i + 1 < count)
        {
            result.stopped = true;
            break;
        }
    }
    result.lostLogFile = engine.LostLogFile();
    engine.EndRun();
    return result;
}
