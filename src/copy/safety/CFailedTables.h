#pragma once

#include "copy/safety/CTriggerJournal.h"

#include <string>
#include <vector>

// A record, kept on disk next to the settings, of the tables that failed in
// the last copy run into each destination, so that a later run can copy
// exactly those again. A destination is known by its identity
// (ReadDatabaseIdentity) wherever the server tells it, else by its name.
class CFailedTables
{
  public:
    // An empty path keeps no record.
    void SetPath(const std::string& path) { m_sPath = path; }
    const std::string& Path() const { return m_sPath; }

    // Replaces what is recorded for database with tables (none: removes its
    // entry). False when the record could not be written.
    bool Store(const CTriggerJournal::SDatabase& database, const std::vector<std::string>& tables);
    // The tables recorded for database, in the order of the run; false when
    // nothing is recorded for it.
    bool Find(const CTriggerJournal::SDatabase& database, std::vector<std::string>& tables) const;

    // The tables a run is replacing in database, noted before their rows go
    // and forgotten when the run ends: a run killed in between leaves them
    // here for the next one to name and copy again. Kept in a file of its
    // own beside the record ("<record>.unfinished").
    bool NoteUnfinished(const CTriggerJournal::SDatabase& database, const std::vector<std::string>& tables);
    bool ClearUnfinished(const CTriggerJournal::SDatabase& database);
    std::vector<std::string> Unfinished(const CTriggerJournal::SDatabase& database) const;
    // What a retry copies again: the tables that failed and those a killed
    // run left unfinished, in that order, each once.
    std::vector<std::string> ToRetry(const CTriggerJournal::SDatabase& database) const;

  private:
    struct SEntry
    {
        std::string identity;
        std::string database;
        std::vector<std::string> tables;
    };
    static std::vector<SEntry> Entries(const std::string& path);
    static bool Replace(const std::string& path, const CTriggerJournal::SDatabase& database,
                        const std::vector<std::string>& tables);
    static bool Lookup(const std::string& path, const CTriggerJournal::SDatabase& database,
                       std::vector<std::string>& tables);
    std::string UnfinishedPath() const { return m_sPath.empty() ? m_sPath : m_sPath + ".unfinished"; }

    std::string m_sPath;
};
