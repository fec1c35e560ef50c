// The steps around the inserts: emptying the destination table, switching
// its triggers and setting the generators its triggers use.
#include "copy/run/CCopyEngine.h"
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
        const bool acts = key.deleteRule == "CASCADE" || key.deleteRule == "SET NULL" || key.deleteRule == "SET DEFAULT";
        if (!acts || key.parentTable != table || key.childTable == table)
            continue;
        bool found = false;
        if (!FindReferringRow(connection, key, found))
            return connection.LastErrorMessage();
        if (found)
            return "Emptying it would " + std::string(key.deleteRule == "CASCADE" ? "delete" : "change") +
                   " rows of " + key.childTable + " (foreign key " + key.name + " ON DELETE " + key.deleteRule +
                   "), which this copy does not refill";
    }
    return {};
}
} // namespace

bool CCopyEngine::CleanupTable(CFbConnection& connection, const std::string& table)
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
        WriteLog("ERROR: Failed to cleanup table!\r\n", m_logs.TablePrefix());
        WriteLog("ERROR: " + CRunLogs::OneLine(reached), "");
        return false;
    }
    const std::string sql = "DELETE FROM " + SqlIdentifier(table) + ";";
    int failure = 0;
    connection.Execute(sql, failure);
    const std::string reason = connection.LastErrorMessage();
    if (failure != 0)
    {
        WriteLog("ERROR: Failed to cleanup table!\r\n", m_logs.TablePrefix());
        // Rows of other tables may still reference this one: say which key.
        WriteLog("ERROR: " + CRunLogs::OneLine(reason), "");
    }
    WriteSqlLog(sql);
    if (failure != 0)
        m_logs.WriteSqlFailure(reason);
    return failure == 0;
}

void CCopyEngine::ForgetTriggersStillOn(CFbConnection& connection, const std::string& table)
{
    // A refused ALTER leaves nothing behind once its transaction is gone;
    // what the database then shows active never went off.
    connection.Rollback();
    std::vector<std::string> activeNow;
    const auto found = m_switchedOff.find(table);
    if (found == m_switchedOff.end() || !GetActiveUserTriggers(connection, table, activeNow))
        return;
    std::erase_if(found->second, [&](const std::string& trigger) {
        return std::find(activeNow.begin(), activeNow.end(), trigger) != activeNow.end();
    });
}

bool CCopyEngine::SetTriggersActive(CFbConnection& connection, const std::string& table, bool active)
{
    if (!connection.IsConnected())
        return false;
    // Only the user triggers that are active now go off, and exactly those
    // come on again: a trigger the destination keeps inactive stays so. The
    // server's own triggers (those of CHECK constraints) refuse ALTER
    // TRIGGER and keep enforcing the constraint.
    std::vector<std::string> triggers;
    m_bJournalRefused = false;
    if (!active)
    {
        if (!GetActiveUserTriggers(connection, table, triggers))
        {
            m_logs.WriteSqlFailure(connection.LastErrorMessage());
            WriteLog("ERROR: Failed to modify TRIGGER!\r\n", m_logs.TablePrefix());
            return false;
        }
        // Recorded before the first one goes off: a run that dies before
        // switching them on again leaves this entry for the next start. A
        // trigger that no record names could stay off for good: without
        // the record, none goes off and the table is not copied.
        m_bJournalRefused = !m_journal.Record(DestinationKey(), table, triggers);
        if (m_bJournalRefused)
        {
            WriteLog("ERROR: The trigger journal could not be written; the triggers stay on and the table is not "
                     "touched",
                     m_journal.Path());
            return false;
        }
        // Triggers still off from an earlier step (a group's emptying whose
        // switching on failed) stay among those to switch on.
        std::vector<std::string>& off = m_switchedOff[table];
        for (const std::string& trigger : triggers)
        {
            if (std::find(off.begin(), off.end(), trigger) == off.end())
                off.push_back(trigger);
        }
    }
    else
    {
        const auto found = m_switchedOff.find(table);
        if (found != m_switchedOff.end())
            triggers = found->second;
    }
    bool ok = true;
    for (const std::string& trigger : triggers)
    {
        const std::string name = connection.MetadataName(trigger);
        const std::string sql = active ? "ALTER TRIGGER  " + name + " ACTIVE;" : "ALTER TRIGGER " + name + " INACTIVE;";
        int failure = 0;
        if (name.empty())
            failure = CFbConnection::FailPrepare;
        else
            connection.ExecuteMetadata(sql, failure);
        WriteSqlLog(sql);
        if (failure != 0)
        {
            ok = false;
            m_logs.WriteSqlFailure(name.empty() ? "The name " + trigger + " cannot be written in SQL dialect 1"
                                                : connection.LastErrorMessage());
            WriteLog("ERROR: Failed to modify TRIGGER!\r\n", m_logs.TablePrefix());
        }
    }
    if (active && ok)
    {
        // The journal entry goes only once the triggers are seen active
        // again: a statement that "succeeded" over a dead attachment proves
        // nothing.
        if (!AreTriggersActive(connection, triggers))
        {
            WriteLog("ERROR: The triggers could not be confirmed active again",
                     CRunLogs::OneLine(connection.LastErrorMessage()));
            return false;
        }
        m_journal.Remove(DestinationKey(), table);
        m_switchedOff.erase(table);
    }
    return ok;
}

bool CCopyEngine::SetGenerators(CFbConnection& source, CFbConnection& connection, CStringGrid& sourceTriggerGrid,
                                const std::string& table)
{
    CStringGrid triggers;
    connection.GetTableTriggers(table, triggers);
    bool ok = true;
    for (int row = 0; row < triggers.RowCount(); ++row)
    {
        const std::string generator = triggers.GetCell(2, row);
        std::string value;
        bool byName = false;
        if (generator.empty() || !SourceGeneratorValue(source, sourceTriggerGrid, generator, value, byName))
            continue;
        // The destination's value as the triggers grid read it, before the
        // copy. Only a step back can repeat other tables' keys.
        const std::string current = triggers.GetCell(3, row);
        std::vector<std::string> others;
        const bool back = std::strtoll(current.c_str(), nullptr, 10) > std::strtoll(value.c_str(), nullptr, 10);
        if (byName && back)
            continue;
        if (back && !OtherGeneratorUsers(connection, generator, table, others))
        {
            ok = false;
            WriteLog("ERROR: Failed to set GENERATOR!\r\n", m_logs.TablePrefix());
            WriteLog("ERROR: " + CRunLogs::OneLine(connection.LastErrorMessage()), "");
            continue;
        }
        if (!others.empty())
        {
            WriteLog("Generator " + generator + " kept at " + current + ", not set back to " + value + ": " +
                         Joined(others, ", ") + " draw keys from it too",
                     "");
            continue;
        }
        const std::string sql = "SET GENERATOR " + SqlIdentifier(generator) + " TO " + value + ";";
        int failure = 0;
        connection.Execute(sql, failure);
        WriteSqlLog(sql);
        if (failure != 0)
        {
            ok = false;
            m_logs.WriteSqlFailure(connection.LastErrorMessage());
            WriteLog("ERROR: Failed to set GENERATOR!\r\n", m_logs.TablePrefix());
        }
    }
    return ok;
}
