#pragma once

#include "db/SchemaQueries.h"

#include <functional>
#include <string>
#include <vector>

// The order in which a run empties and fills its tables when foreign keys
// join them: children are emptied first and parents filled first, so that
// neither the DELETE nor the INSERTs break a key. A key that closes a cycle
// (or points back into its own table) is "deferred": its columns are inserted
// as NULL and set once every row of both tables is in.
struct SRunPlan
{
    // False when no foreign key joins two chosen tables: the list order holds
    // and every table is emptied by its own copy.
    bool reordered = false;
    std::vector<std::string> fillOrder;
    std::vector<std::string> emptyOrder;
    std::vector<SForeignKey> deferred;
    // Tables whose keys form a cycle that no nullable key can break.
    std::vector<std::string> unbreakable;
};

// Whether every column of table.columns may hold NULL.
using NullableColumns = std::function<bool(const std::string& table, const std::vector<std::string>& columns)>;

// Plans a run over tables (in list order) given every foreign key of the
// destination.
SRunPlan PlanRun(const std::vector<std::string>& tables, const std::vector<SForeignKey>& keys,
                 const NullableColumns& nullable);
