#pragma once

#include <string>
#include <vector>

// A record, kept on disk, of the triggers a copy has switched off and not
// yet on again, and of the destinations that running copies hold. A run that
// dies between the two steps (killed, power cut, server gone) leaves its
// entry behind, so the next start can switch the triggers on again instead of
// leaving them off unnoticed. Entries name the process that wrote them: the
// entries of a copy that is still running are never touched by another.
class CTriggerJournal
{
  public:
    // Which database an entry is about: the name it was reached by, and its
    // identity (ReadDatabaseIdentity), which decides whenever both sides know it.
    struct SDatabase
    {
        std::string name;
        std::string identity;
    };
    struct SEntry
    {
        std::string database;
        std::string table; // empty: a running copy's hold on the destination
        std::vector<std::string> triggers;
        std::string identity;
        std::string owner; // the writing process ("pid:start@host"); empty from older versions
    };

    // An empty path keeps no journal.
    void SetPath(const std::string& path) { m_sPath = path; }
    const std::string& Path() const { return m_sPath; }

    // Adds this process's entry; false when the journal could not be written.
    bool Record(const SDatabase& database, const std::string& table, const std::vector<std::string>& triggers);
    // Removes the entries of database.table.
    bool Remove(const SDatabase& database, const std::string& table);
    // The trigger entries left, optionally only those of one database.
    std::vector<SEntry> Entries(const SDatabase& database = {}) const;
    // Marks database as held by this process for a run; false, with the
    // holder ("pid:start@host"), when a live copy of another process holds it.
    bool Claim(const SDatabase& database, std::string& holder);
    void Release(const SDatabase& database);

    // This process, as entries name it.
    static std::string ThisProcess();
    // True when the process an entry names is still running (on this host;
    // one on another host is taken for alive).
    static bool IsAlive(const std::string& owner);

  private:
    std::vector<SEntry> AllEntries() const;
    bool Write(const std::vector<SEntry>& entries) const;

    std::string m_sPath;
};

// True when the entry's database is the one named.
bool SameDatabase(const CTriggerJournal::SEntry& entry, const CTriggerJournal::SDatabase& database);

// Switches the triggers of every journal entry of database on again whose
// copy is no longer running, checks that they are active by reading them
// back, and removes the entries that are. Returns the entries it restored;
// failed holds those it could not.
std::vector<CTriggerJournal::SEntry> RestoreJournalTriggers(CTriggerJournal& journal, const std::string& database,
                                                            const std::string& user, const std::string& password,
                                                            int attempts,
                                                            std::vector<CTriggerJournal::SEntry>* failed = nullptr);
