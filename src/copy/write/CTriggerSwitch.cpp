#include "copy/write/CTriggerSwitch.h"

#include "copy/logs/CRunLogs.h"
#include "copy/run/RunSettings.h"
#include "db/CFbConnection.h"
#include "db/SchemaQueries.h"

#include <algorithm>

CTriggerSwitch::CTriggerSwitch(const SRunSettings& settings, CRunLogs& logs, CTriggerJournal& journal)
    : m_settings(settings), m_logs(logs), m_journal(journal)
{
}

CTriggerJournal::SDatabase CTriggerSwitch::Destination() const
{
    return {m_settings.dest.database, m_settings.destIdentity};
}

void CTriggerSwitch::ForgetStillOn(CFbConnection& connection, const std::string& table)
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

bool CTriggerSwitch::RecordSwitchedOff(CFbConnection& connection, const std::string& table,
                                       std::vector<std::string>& triggers)
{
    if (!GetActiveUserTriggers(connection, table, triggers))
    {
        m_logs.WriteSqlFailure(connection.LastErrorMessage());
        m_logs.WriteLog("ERROR: Failed to modify TRIGGER!\r\n", m_logs.TablePrefix());
        return false;
    }
    // Recorded before the first one goes off: a run that dies before
    // switching them on again leaves this entry for the next start. A
    // trigger that no record names could stay off for good: without the
    // record, none goes off and the table is not copied.
    m_bJournalRefused = !m_journal.Record(Destination(), table, triggers);
    if (m_bJournalRefused)
    {
        m_logs.WriteLog("ERROR: The trigger journal could not be written; the triggers stay on and the table is not "
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
    return true;
}

bool CTriggerSwitch::RunAlters(CFbConnection& connection, const std::vector<std::string>& triggers, bool active)
{
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
        m_logs.WriteSqlLog(sql);
        if (failure != 0)
        {
            ok = false;
            m_logs.WriteSqlFailure(name.empty() ? "The name " + trigger + " cannot be written in SQL dialect 1"
                                                : connection.LastErrorMessage());
            m_logs.WriteLog("ERROR: Failed to modify TRIGGER!\r\n", m_logs.TablePrefix());
        }
    }
    return ok;
}

bool CTriggerSwitch::SetActive(CFbConnection& connection, const std::string& table, bool active)
{
    if (!connection.IsConnected())
        return false;
    // Only the user triggers that are active now go off, and exactly those
    // come on again. The server's own triggers (those of CHECK constraints)
    // refuse ALTER TRIGGER and keep enforcing the constraint.
    std::vector<std::string> triggers;
    m_bJournalRefused = false;
    if (!active && !RecordSwitchedOff(connection, table, triggers))
        return false;
    if (active)
    {
        const auto found = m_switchedOff.find(table);
        if (found != m_switchedOff.end())
            triggers = found->second;
    }
    if (!RunAlters(connection, triggers, active))
        return false;
    if (!active)
        return true;
    // The journal entry goes only once the triggers are seen active again:
    // a statement that "succeeded" over a dead attachment proves nothing.
    if (!AreTriggersActive(connection, triggers))
    {
        m_logs.WriteLog("ERROR: The triggers could not be confirmed active again",
                        CRunLogs::OneLine(connection.LastErrorMessage()));
        return false;
    }
    m_journal.Remove(Destination(), table);
    m_switchedOff.erase(table);
    return true;
}

bool CTriggerSwitch::RestoreAfterAbort(const std::string& table)
{
    CFbConnection dest(m_settings.attempts);
    if (!dest.Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database))
    {
        m_logs.WriteLog("ERROR: Cannot open destination database", m_settings.dest.database);
        return false;
    }
    const bool restored = SetActive(dest, table, true);
    return dest.Disconnect() && restored;
}
