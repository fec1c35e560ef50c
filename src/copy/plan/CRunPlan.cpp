#include "copy/plan/CRunPlan.h"

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

size_t Root(std::vector<size_t>& parent, size_t i)
{
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

// Groups of tables joined by an edge, each with its members in order.
std::vector<STableGroup> JoinedGroups(const std::vector<std::string>& tables, const std::vector<size_t>& order,
                                      const std::vector<std::pair<size_t, size_t>>& joins)
{
    std::vector<size_t> parent(tables.size());
    for (size_t i = 0; i < parent.size(); ++i)
        parent[i] = i;
    std::vector<bool> joined(tables.size(), false);
    for (const auto& [a, b] : joins)
    {
        parent[Root(parent, a)] = Root(parent, b);
        joined[a] = joined[b] = true;
    }
    std::map<size_t, size_t> groupOfRoot;
    std::vector<STableGroup> groups;
    for (size_t i : order)
    {
        if (!joined[i])
            continue;
        const auto found = groupOfRoot.emplace(Root(parent, i), groups.size());
        if (found.second)
            groups.emplace_back();
        groups[found.first->second].fillOrder.push_back(tables[i]);
    }
    for (STableGroup& group : groups)
        group.emptyOrder.assign(group.fillOrder.rbegin(), group.fillOrder.rend());
    return groups;
}
} // namespace

const STableGroup* SRunPlan::GroupOf(const std::string& table) const
{
    for (const STableGroup& group : groups)
    {
        if (std::find(group.fillOrder.begin(), group.fillOrder.end(), table) != group.fillOrder.end())
            return &group;
    }
    return nullptr;
}

namespace
{
using Edges = std::vector<std::pair<size_t, size_t>>;
using TableIndex = std::map<std::string, size_t>;
using CheckDeferrals = std::map<std::pair<std::string, std::string>, SDeferredColumns>;

// A CHECK reading another table sees that table filled first, without
// the columns it reads; those follow once the checked table is in.
// Key columns only identify the row the CHECK looks at and stay.
Edges PlanCheckReads(const std::vector<const SCheckRead*>& checks, const SRunSchema& schema, const TableIndex& index,
                     SRunPlan& plan, Edges& joins, CheckDeferrals& deferrals)
{
    Edges checkEdges;
    for (const SCheckRead* read : checks)
    {
        checkEdges.emplace_back(index.at(read->readTable), index.at(read->checkedTable));
        joins.push_back(checkEdges.back());
        const std::vector<std::string> primaryKey = schema.primaryKey(read->readTable);
        if (std::find(primaryKey.begin(), primaryKey.end(), read->readColumn) != primaryKey.end())
            continue;
        if (primaryKey.empty() || !schema.nullable(read->readTable, {read->readColumn}))
        {
            plan.undeferredChecks.push_back(*read);
            continue;
        }
        SDeferredColumns& deferral = deferrals[{read->readTable, read->constraint}];
        deferral.table = read->readTable;
        deferral.constraint = read->constraint;
        deferral.waitsFor = read->checkedTable;
        deferral.columns.push_back(read->readColumn);
    }
    return checkEdges;
}

// The edges of the keys between two tables; a key into its own table is
// deferred where its columns may be NULL.
Edges PlanKeys(const std::vector<const SForeignKey*>& joining, const SRunSchema& schema, const TableIndex& index,
               SRunPlan& plan, Edges& joins)
{
    Edges edges;
    for (const SForeignKey* key : joining)
    {
        joins.emplace_back(index.at(key->parentTable), index.at(key->childTable));
        if (key->childTable == key->parentTable)
        {
            if (schema.nullable(key->childTable, key->childColumns))
                plan.deferred.push_back({key->childTable, key->childColumns, key->name, key->parentTable, true});
            continue;
        }
        edges.emplace_back(index.at(key->parentTable), index.at(key->childTable));
    }
    return edges;
}

// The order again with the nullable keys inside the cycles deferred; tables
// still in a cycle are unbreakable and follow the others.
std::vector<size_t> OrderBreakingCycles(const std::vector<std::string>& tables,
                                        const std::vector<const SForeignKey*>& joining, const SRunSchema& schema,
                                        const TableIndex& index, const std::vector<size_t>& cyclic, SRunPlan& plan)
{
    const std::set<size_t> inCycle(cyclic.begin(), cyclic.end());
    Edges edges;
    for (const SForeignKey* key : joining)
    {
        if (key->childTable == key->parentTable)
            continue;
        const size_t parent = index.at(key->parentTable);
        const size_t child = index.at(key->childTable);
        if (inCycle.count(parent) && inCycle.count(child) && schema.nullable(key->childTable, key->childColumns))
            plan.deferred.push_back({key->childTable, key->childColumns, key->name, key->parentTable, true});
        else
            edges.emplace_back(parent, child);
    }
    std::vector<size_t> stillCyclic;
    std::vector<size_t> order = ParentsFirst(tables.size(), edges, stillCyclic);
    for (size_t i : stillCyclic)
    {
        plan.unbreakable.push_back(tables[i]);
        order.push_back(i); // still copied, in list order, after the others
    }
    return order;
}

// A group's tables stand together where its first one stands.
void PlaceGroups(const std::vector<std::string>& tables, const std::vector<size_t>& order, const Edges& joins,
                 SRunPlan& plan)
{
    plan.groups = JoinedGroups(tables, order, joins);
    std::set<const STableGroup*> placed;
    for (size_t i : order)
    {
        const STableGroup* group = plan.GroupOf(tables[i]);
        if (!group)
            plan.fillOrder.push_back(tables[i]);
        else if (placed.insert(group).second)
            plan.fillOrder.insert(plan.fillOrder.end(), group->fillOrder.begin(), group->fillOrder.end());
    }
}
} // namespace

SRunPlan PlanRun(const std::vector<std::string>& tables, const SRunSchema& schema)
{
    SRunPlan plan;
    TableIndex index;
    for (size_t i = 0; i < tables.size(); ++i)
        index.emplace(tables[i], i);
    std::vector<const SForeignKey*> joining;
    for (const SForeignKey& key : schema.keys)
    {
        if (index.count(key.childTable) && index.count(key.parentTable))
            joining.push_back(&key);
    }
    std::vector<const SCheckRead*> checks;
    for (const SCheckRead& read : schema.checks)
    {
        if (index.count(read.checkedTable) && index.count(read.readTable))
            checks.push_back(&read);
    }
    if (joining.empty() && checks.empty())
    {
        plan.fillOrder = tables;
        return plan;
    }
    plan.reordered = true;
    Edges joins;
    CheckDeferrals checkDeferrals;
    const Edges checkEdges = PlanCheckReads(checks, schema, index, plan, joins, checkDeferrals);

    // First try every key as it is; keys inside the cycles that remain are
    // deferred where their columns may be NULL, then the order is made again.
    const Edges edges = PlanKeys(joining, schema, index, plan, joins);
    std::vector<size_t> cyclic;
    Edges withChecks = edges;
    withChecks.insert(withChecks.end(), checkEdges.begin(), checkEdges.end());
    std::vector<size_t> order = ParentsFirst(tables.size(), withChecks, cyclic);
    if (!cyclic.empty())
    {
        // The order a CHECK asks for gives way to the keys.
        cyclic.clear();
        order = ParentsFirst(tables.size(), edges, cyclic);
    }
    if (!cyclic.empty())
        order = OrderBreakingCycles(tables, joining, schema, index, cyclic, plan);
    for (auto& [name, deferral] : checkDeferrals)
        plan.deferred.push_back(std::move(deferral));
    PlaceGroups(tables, order, joins, plan);
    return plan;
}
