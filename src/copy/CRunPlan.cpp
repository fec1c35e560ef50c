#include "copy/CRunPlan.h"

#include <algorithm>
#include <map>
#include <set>

namespace
{
// Kahn's order over edges parent -> child, ties broken by list position, so
// tables that no key joins keep their list order. Tables left in a cycle are
// returned in `cyclic`.
std::vector<size_t> ParentsFirst(size_t count, const std::vector<std::pair<size_t, size_t>>& edges,
                                 std::vector<size_t>& cyclic)
{
    std::vector<int> incoming(count, 0);
    std::vector<std::vector<size_t>> children(count);
    for (const auto& [parent, child] : edges)
    {
        children[parent].push_back(child);
        ++incoming[child];
    }
    std::set<size_t> ready;
    for (size_t i = 0; i < count; ++i)
    {
        if (incoming[i] == 0)
            ready.insert(i);
    }
    std::vector<size_t> order;
    while (!ready.empty())
    {
        const size_t next = *ready.begin();
        ready.erase(ready.begin());
        order.push_back(next);
        for (size_t child : children[next])
        {
            if (--incoming[child] == 0)
                ready.insert(child);
        }
    }
    for (size_t i = 0; i < count; ++i)
    {
        if (incoming[i] > 0)
            cyclic.push_back(i);
    }
    return order;
}
} // namespace

SRunPlan PlanRun(const std::vector<std::string>& tables, const std::vector<SForeignKey>& keys,
                 const NullableColumns& nullable)
{
    SRunPlan plan;
    std::map<std::string, size_t> index;
    for (size_t i = 0; i < tables.size(); ++i)
        index.emplace(tables[i], i);
    std::vector<const SForeignKey*> joining;
    for (const SForeignKey& key : keys)
    {
        if (index.count(key.childTable) && index.count(key.parentTable))
            joining.push_back(&key);
    }
    if (joining.empty())
    {
        plan.fillOrder = tables;
        plan.emptyOrder = tables;
        return plan;
    }
    plan.reordered = true;

    // First try every key as it is; keys inside the cycles that remain are
    // deferred where their columns may be NULL, then the order is made again.
    std::vector<std::pair<size_t, size_t>> edges;
    for (const SForeignKey* key : joining)
    {
        if (key->childTable == key->parentTable)
        {
            if (nullable(key->childTable, key->childColumns))
                plan.deferred.push_back(*key);
            continue;
        }
        edges.emplace_back(index[key->parentTable], index[key->childTable]);
    }
    std::vector<size_t> cyclic;
    std::vector<size_t> order = ParentsFirst(tables.size(), edges, cyclic);
    if (!cyclic.empty())
    {
        const std::set<size_t> inCycle(cyclic.begin(), cyclic.end());
        edges.clear();
        for (const SForeignKey* key : joining)
        {
            if (key->childTable == key->parentTable)
                continue;
            const size_t parent = index[key->parentTable];
            const size_t child = index[key->childTable];
            if (inCycle.count(parent) && inCycle.count(child) && nullable(key->childTable, key->childColumns))
                plan.deferred.push_back(*key);
            else
                edges.emplace_back(parent, child);
        }
        cyclic.clear();
        order = ParentsFirst(tables.size(), edges, cyclic);
        for (size_t i : cyclic)
        {
            plan.unbreakable.push_back(tables[i]);
            order.push_back(i); // still copied, in list order, after the others
        }
    }
    for (size_t i : order)
        plan.fillOrder.push_back(tables[i]);
    plan.emptyOrder.assign(plan.fillOrder.rbegin(), plan.fillOrder.rend());
    return plan;
}
