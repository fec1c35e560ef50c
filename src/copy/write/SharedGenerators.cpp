#include "copy/write/SharedGenerators.h"

#include "core/CStringGrid.h"
#include "db/CFbConnection.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cstdlib>

namespace
{
// RDB$DEPENDENCIES.RDB$DEPENDENT_TYPE of the objects that can draw values.
std::string ObjectKind(int type)
{
    switch (type)
    {
    case 2: return "trigger";
    case 5: return "procedure";
    case 15: return "function";
    case 18:
    case 19: return "package";
    default: return "object";
    }
}
} // namespace

bool OtherGeneratorUsers(CFbConnection& dest, const std::string& generator, const std::string& table,
                         std::vector<std::string>& others)
{
    others.clear();
    CStringGrid users;
    int failure = 0;
    dest.Execute("SELECT DISTINCT d.rdb$dependent_type, d.rdb$dependent_name, t.rdb$relation_name "
                 "FROM rdb$dependencies d LEFT JOIN rdb$triggers t ON d.rdb$dependent_type = 2 "
                 "AND t.rdb$trigger_name = d.rdb$dependent_name "
                 "WHERE d.rdb$depended_on_type = 14 AND d.rdb$depended_on_name = '" +
                     EscapeSqlString(generator) + "'",
                 failure, &users);
    if (failure != 0)
        return false;
    for (int row = 0; row < users.RowCount(); ++row)
    {
        const std::string owner = users.GetCell(2, row);
        if (owner == table)
            continue;
        const std::string user =
            owner.empty() ? ObjectKind(users.GetCellInt(0, row)) + " " + users.GetCell(1, row) : owner;
        if (std::find(others.begin(), others.end(), user) == others.end())
            others.push_back(user);
    }
    return true;
}

bool SourceGeneratorValue(CFbConnection& source, CStringGrid& sourceTriggers, const std::string& generator,
                          std::string& value, bool& byName)
{
    byName = false;
    const int row = sourceTriggers.FindRow(2, generator, 1);
    if (row >= 0)
    {
        value = sourceTriggers.GetCell(3, row);
        return true;
    }
    CStringGrid found;
    int failure = 0;
    source.Execute("SELECT 1 FROM rdb$generators WHERE COALESCE(rdb$system_flag, 0) = 0 AND rdb$generator_name = '" +
                       EscapeSqlString(generator) + "'",
                   failure, &found);
    if (failure != 0 || found.RowCount() != 1)
        return false;
    source.Execute("SELECT GEN_ID(" + QuotedSqlIdentifier(generator) + ", 0) FROM rdb$database", failure, &found);
    if (failure != 0 || found.RowCount() != 1)
        return false;
    value = found.GetCell(0, 0);
    byName = true;
    return true;
}

bool GeneratorStepOf(CFbConnection& source, CStringGrid& sourceTriggers, CStringGrid& destTriggers, int r,
                     SGeneratorStep& step)
{
    step.generator = destTriggers.GetCell(2, r);
    bool byName = false;
    if (step.generator.empty() || !SourceGeneratorValue(source, sourceTriggers, step.generator, step.value, byName))
        return false;
    // The destination's value as the triggers grid read it, before the copy.
    // Only a step back can repeat other tables' keys.
    step.current = destTriggers.GetCell(3, r);
    step.back = std::strtoll(step.current.c_str(), nullptr, 10) > std::strtoll(step.value.c_str(), nullptr, 10);
    return !(byName && step.back);
}
