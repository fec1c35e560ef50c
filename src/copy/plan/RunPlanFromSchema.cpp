#include "copy/plan/CRunPlan.h"

#include "db/CFbConnection.h"

#include <map>

SRunPlan PlanRunIn(CFbConnection& dest, const std::vector<std::string>& tables)
{
    SRunSchema schema;
    if (!dest.IsConnected() || !GetForeignKeys(dest, schema.keys))
        schema.keys.clear();
    if (!dest.IsConnected() || !GetCheckReads(dest, schema.checks))
        schema.checks.clear();
    // Read once per table, as the planning asks.
    std::map<std::string, std::vector<SColumnInfo>> columns;
    schema.nullable = [&](const std::string& table, const std::vector<std::string>& names) {
        auto found = columns.find(table);
        if (found == columns.end())
        {
            std::vector<SColumnInfo> info;
            GetColumnInfo(dest, table, info);
            found = columns.emplace(table, std::move(info)).first;
        }
        for (const std::string& name : names)
        {
            for (const SColumnInfo& column : found->second)
            {
                if (column.name == name && !column.nullable)
                    return false;
            }
        }
        return true;
    };
    schema.primaryKey = [&](const std::string& table) {
        std::vector<std::string> key;
        GetPrimaryKey(dest, table, key);
        return key;
    };
    return PlanRun(tables, schema);
}
