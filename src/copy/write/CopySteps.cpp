// The steps around the inserts: emptying the destination table and setting
// the generators its triggers use.
#include "copy/write/TableSteps.h"

#include "copy/logs/CRunLogs.h"
#include "copy/write/SharedGenerators.h"

#include "db/CFbConnection.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cstdlib>

namespace
{
// Why emptying the table would delete or change rows of another table
// through a foreign key's ON DELETE rule, or empty when it would not. Rows
// of tables emptied earlier in the same transaction are gone already.
std::string RowsReachedByEmptying(CFbConnection& connection, const std::string& table)
{
    std::vector<SForeignKey> keys;
    if (!GetForeignKeys(connection, keys, table))
        return connection.LastErrorMessage();
    for (const SForeignKey& key : keys)
    {
        const bool acts =
            key.deleteRule == "CASCADE" || key.deleteRule == "SET NULL" || key.deleteRule == "SET DEFAULT";
        if (!acts || key.parentTable != table || key.childTable == table)
            continue;
        bool found = false;
        if (!FindReferringRow(connection, key, found))
            return connection.LastErrorMessage();
        if (found)
            return "Emptying it would " + std::string(key.deleteRule == "CASCADE" ? "delete" : "change") + " rows of " +
                   key.childTable + " (foreign key " + key.name + " ON DELETE " + key.deleteRule +
                   "), which this copy does not refill";
    }
    return {};
}
} // namespace

bool EmptyTable(CFbConnection& connection, const std::string& table, CRunLogs& logs)
{
    if (!connection.IsConnected())
        return false;
    if (table.empty())
        return true;
    // The DELETE would carry the database's ON DELETE rules into tables the
    // copy leaves alone: their rows would be lost unseen.
    const std::string reached = RowsReachedByEmptying(connection, table);
    if (!reached.empty())
    {
        logs.WriteLog("ERROR: Failed to cleanup table!\r\n", logs.TablePrefix());
        logs.WriteLog("ERROR: " + CRunLogs::OneLine(reached), "");
        return false;
    }
    const std::string sql = "DELETE FROM " + SqlIdentifier(table) + ";";
    int failure = 0;
    connection.Execute(sql, failure);
    const std::string reason = connection.LastErrorMessage();
    if (failure != 0)
    {
        logs.WriteLog("ERROR: Failed to cleanup table!\r\n", logs.TablePrefix());
        // Rows of other tables may still reference this one: say which key.
        logs.WriteLog("ERROR: " + CRunLogs::OneLine(reason), "");
    }
    logs.WriteSqlLog(sql);
    if (failure != 0)
        logs.WriteSqlFailure(reason);
    return failure == 0;
}

bool SetGenerators(CFbConnection& source, CFbConnection& connection, CStringGrid& sourceTriggerGrid,
                   const std::string& table, CRunLogs& logs)
{
    CStringGrid triggers;
    connection.GetTableTriggers(table, triggers);
    bool ok = true;
    for (int row = 0; row < triggers.RowCount(); ++row)
    {
        SGeneratorStep step;
        if (!GeneratorStepOf(source, sourceTriggerGrid, triggers, row, step))
            continue;
        std::vector<std::string> others;
        if (step.back && !OtherGeneratorUsers(connection, step.generator, table, others))
        {
            ok = false;
            logs.WriteLog("ERROR: Failed to set GENERATOR!\r\n", logs.TablePrefix());
            logs.WriteLog("ERROR: " + CRunLogs::OneLine(connection.LastErrorMessage()), "");
            continue;
        }
        if (!others.empty())
        {
            logs.WriteLog("Generator " + step.generator + " kept at " + step.current + ", not set back to " +
                              step.value + ": " + Joined(others, ", ") + " draw keys from it too",
                          "");
            continue;
        }
        const std::string sql = "SET GENERATOR " + SqlIdentifier(step.generator) + " TO " + step.value + ";";
        int failure = 0;
        connection.Execute(sql, failure);
        logs.WriteSqlLog(sql);
        if (failure != 0)
        {
            ok = false;
            logs.WriteSqlFailure(connection.LastErrorMessage());
            logs.WriteLog("ERROR: Failed to set GENERATOR!\r\n", logs.TablePrefix());
        }
    }
    return ok;
}
