#pragma once

#include <string>
#include <vector>

// A record, kept on disk, of the triggers a copy has switched off and not
// yet on again. A run that dies between the two steps (killed, power cut,
// server gone) leaves its entry behind, so the next start can switch the
// triggers on again instead of leaving them off unnoticed.
class CTriggerJournal
{
public:
    struct SEntry
    {
        std::string database;
        std::string table;
        std::vector<std::string> triggers;
    };

    // An empty path keeps no journal.
    void SetPath(const std::string& path) { m_sPath = path; }
    const std::string& Path() const { return m_sPath; }

    // Adds an entry; false when the journal could not be written.
    bool Record(const std::string& database, const std::string& table, const std::vector<std::string>& triggers);
    // Removes the entries of database.table.
    bool Remove(const std::string& database, const std::string& table);
    // The entries left, optionally only those of one database.
    std::vector<SEntry> Entries(const std::string& database = {}) const;

private:
    bool Write(const std::vector<SEntry>& entries) const;

    std::string m_sPath;
};

// Switches the triggers of every journal entry of database on again and
// removes the entries that succeeded. Returns the entries it restored;
// failed holds those it could not.
std::vector<CTriggerJournal::SEntry> RestoreJournalTriggers(CTriggerJournal& journal, const std::string& database,
                                                            const std::string& user, const std::string& password,
                                                            int attempts,
                                                            std::vector<CTriggerJournal::SEntry>* failed = nullptr);
