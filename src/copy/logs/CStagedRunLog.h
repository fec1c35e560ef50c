#pragma once

#include <cstdio>
#include <functional>
#include <string>

// The run log's entries for the rows of one table, held back until the
// rows' transaction has ended: a row is reported as inserted only once it is
// committed, and as not added when its transaction was rolled back. The
// entries wait in a temporary file, so memory does not grow with the table.
class CStagedRunLog
{
  public:
    CStagedRunLog() = default;
    ~CStagedRunLog();
    CStagedRunLog(const CStagedRunLog&) = delete;
    CStagedRunLog& operator=(const CStagedRunLog&) = delete;

    // Records of entries, gathered on the inserting thread.
    static void AppendRow(std::string& records, bool inserted, const std::string& detail);
    static void AppendEntry(std::string& records, const std::string& entry);
    // Keeps gathered records; false when the temporary file cannot be written.
    bool Store(const std::string& records);
    // Gives every entry in order to write, as run-log text: rows that were
    // inserted as "Successfully inserted" when committed, otherwise as
    // "ERROR: Failed to add", with the table prefix in front; rolled back
    // without listRolledBack, inserted rows are left out (one entry of the
    // caller's says how many went back). False when the stored records could
    // not be read back.
    bool Publish(bool committed, const std::string& prefix, const std::function<void(const std::string&)>& write,
                 bool listRolledBack = true);

  private:
    std::FILE* m_pFile = nullptr;
    bool m_bFailed = false;
};
