#pragma once

#include "db/SchemaQueries.h"

#include <functional>
#include <string>
#include <vector>

// Destination columns that a run inserts as NULL and sets from the source
// once other tables are filled: a foreign key that closes a cycle (or points
// back into its own table), or columns that a CHECK of another table reads,
// which would otherwise judge rows of the source's history by today's values.
struct SDeferredColumns
{
    std::string table;
    std::vector<std::string> columns;
    std::string constraint; // the key or CHECK that needs the columns deferred
    std::string waitsFor;   // the table filled before the columns are set
    // Old rows of a key cycle must lose the key before the tables can be
    // emptied; a CHECK's columns never stand in the way of a DELETE.
    bool clearBeforeEmptying = false;
};

// Tables that keys or CHECKs join: emptied together (children first) before
// the first of them is filled (parents first).
struct STableGroup
{
    std::vector<std::string> fillOrder;
    std::vector<std::string> emptyOrder;
};

// The order of a run. Tables that no key or CHECK joins keep the list order
// and are emptied by their own copy.
struct SRunPlan
{
    // False when no foreign key or CHECK joins two chosen tables.
    bool reordered = false;
    // Every table; the tables of a group stand together.
    std::vector<std::string> fillOrder;
    std::vector<STableGroup> groups;
    std::vector<SDeferredColumns> deferred;
    // Tables whose keys form a cycle that no nullable key can break.
    std::vector<std::string> unbreakable;
    // CHECKs reading columns of another chosen table that cannot be deferred
    // (NOT NULL, or the table has no primary key to set them by).
    std::vector<SCheckRead> undeferredChecks;

    // The group holding table, or nullptr.
    const STableGroup* GroupOf(const std::string& table) const;
};

// Whether every column of table.columns may hold NULL.
using NullableColumns = std::function<bool(const std::string& table, const std::vector<std::string>& columns)>;

// What the destination's schema says about the chosen tables.
struct SRunSchema
{
    std::vector<SForeignKey> keys;
    std::vector<SCheckRead> checks;
    NullableColumns nullable;
    // The primary-key columns of a table, empty without one.
    std::function<std::vector<std::string>(const std::string& table)> primaryKey;
};

// Plans a run over tables (in list order).
SRunPlan PlanRun(const std::vector<std::string>& tables, const SRunSchema& schema);

class CFbConnection;

// Plans a run over tables with what the attached destination's schema says;
// an unreadable (or unattached) destination gives the list order.
SRunPlan PlanRunIn(CFbConnection& dest, const std::vector<std::string>& tables);
