#pragma once

#include "copy/safety/CTriggerJournal.h"

#include <map>
#include <string>
#include <vector>

class CFbConnection;
class CRunLogs;
struct SRunSettings;

// Switches the user triggers of destination tables off around their copy
// and on again, recording them in the trigger journal first, so that a run
// that dies in between leaves the entry for the next start. Exactly the
// triggers it switched off come on again: one the destination keeps
// inactive stays so.
class CTriggerSwitch
{
  public:
    CTriggerSwitch(const SRunSettings& settings, CRunLogs& logs, CTriggerJournal& journal);

    // Switches the active user triggers of table off (active false) or those
    // switched off on again (true); false, logged, when a statement failed.
    bool SetActive(CFbConnection& connection, const std::string& table, bool active);
    // Switches on the triggers an aborted table had switched off, through an
    // attachment of its own: the table's own may carry the cancel still.
    bool RestoreAfterAbort(const std::string& table);
    // After switching off failed (no right to alter the table): the
    // triggers that are still on need not, and often cannot, be switched on.
    void ForgetStillOn(CFbConnection& connection, const std::string& table);
    // True when the last switching off was refused because the trigger
    // journal could not record it: nothing was switched off.
    bool JournalRefused() const { return m_bJournalRefused; }

  private:
    CTriggerJournal::SDatabase Destination() const;
    // Records the triggers to switch off; false when the journal refused.
    bool RecordSwitchedOff(CFbConnection& connection, const std::string& table, std::vector<std::string>& triggers);
    bool RunAlters(CFbConnection& connection, const std::vector<std::string>& triggers, bool active);

    const SRunSettings& m_settings;
    CRunLogs& m_logs;
    CTriggerJournal& m_journal;
    // The triggers each table's copy switched off, to switch on exactly those.
    std::map<std::string, std::vector<std::string>> m_switchedOff;
    bool m_bJournalRefused = false;
};

// The triggers of one table while they are off: switched on again when it
// goes, after an abort through an attachment of its own, unless SwitchOn
// already did.
class CTriggersOff
{
  public:
    CTriggersOff(CTriggerSwitch& triggers, CFbConnection& connection, std::string table)
        : m_triggers(triggers), m_connection(connection), m_sTable(std::move(table))
    {
    }
    ~CTriggersOff() { SwitchOn(false); }
    CTriggersOff(const CTriggersOff&) = delete;
    CTriggersOff& operator=(const CTriggersOff&) = delete;

    // afterAbort: a cancel may still ride on the table's attachment. True
    // when the triggers are on again (also when it was done before).
    bool SwitchOn(bool afterAbort)
    {
        if (m_bOn)
            return m_bResult;
        m_bOn = true;
        m_bResult =
            afterAbort ? m_triggers.RestoreAfterAbort(m_sTable) : m_triggers.SetActive(m_connection, m_sTable, true);
        return m_bResult;
    }

  private:
    CTriggerSwitch& m_triggers;
    CFbConnection& m_connection;
    const std::string m_sTable;
    bool m_bOn = false;
    bool m_bResult = true;
};
