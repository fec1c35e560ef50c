#pragma once

#include "copy/run/RunSettings.h"
#include "db/CFbConnection.h"

#include <memory>
#include <string>
#include <vector>

// The source and destination attachments that the tables of one run share:
// attached when the first table needs them and kept from table to table,
// so a run over hundreds of small tables does not pay an attach, a detach
// and a fresh metadata cache of both databases for every one of them. The
// user tables of each database are read once per attachment.
class CRunAttachments
{
  public:
    explicit CRunAttachments(const SRunSettings& settings);
    ~CRunAttachments();
    CRunAttachments(const CRunAttachments&) = delete;
    CRunAttachments& operator=(const CRunAttachments&) = delete;

    // Makes sure the attachments reach the databases settings name: ones
    // made for other databases or users are detached first.
    void Follow(const SRunSettings& settings);
    // Lets go of an attachment the server no longer answers (a restart, a
    // dropped connection), so the next table attaches anew instead of
    // failing on it.
    void DropBroken();
    CFbConnection& Source() { return *m_source; }
    CFbConnection& Dest() { return *m_dest; }
    // The user tables of each database, read at the first call after an
    // attach; false when they cannot be read (then nothing is kept).
    bool SourceTables(std::vector<std::string>& tables)
    {
        return Tables(*m_source, m_bSourceTablesRead, m_sourceTables, tables);
    }
    bool DestTables(std::vector<std::string>& tables)
    {
        return Tables(*m_dest, m_bDestTablesRead, m_destTables, tables);
    }
    // Ends a table's use of the attachments: the work it left open is
    // committed, as a detach would, and each table reads its own snapshot.
    // Without keep (a failed or aborted table, a commit the server refused)
    // both are detached, and the next table attaches anew as if it were
    // the first: whatever went wrong stays with the table it happened to.
    // False when the open work could not be committed.
    bool EndTable(bool keep);
    // Detaches both; false when a detach failed.
    bool Close();

  private:
    static bool Tables(CFbConnection& connection, bool& read, std::vector<std::string>& cache,
                       std::vector<std::string>& tables);
    bool Detach(std::unique_ptr<CFbConnection>& connection);

    int m_nAttempts;
    std::unique_ptr<CFbConnection> m_source;
    std::unique_ptr<CFbConnection> m_dest;
    SDatabaseLogin m_sourceLogin;
    SDatabaseLogin m_destLogin;
    std::vector<std::string> m_sourceTables;
    std::vector<std::string> m_destTables;
    bool m_bSourceTablesRead = false;
    bool m_bDestTablesRead = false;
};

struct SGroupInProgress;

// The attachments of one table's copy: those of the group it is copied with,
// the run's shared ones when the run shares them, otherwise attachments of
// its own, attached and detached for the table alone.
class CTableAttachments
{
  public:
    // A group's table (group not null) works with the group's attachments,
    // whose work the group's end commits.
    CTableAttachments(const SRunSettings& settings, CRunAttachments* shared, SGroupInProgress* group = nullptr);
    ~CTableAttachments();
    CTableAttachments(const CTableAttachments&) = delete;
    CTableAttachments& operator=(const CTableAttachments&) = delete;

    CFbConnection& Source();
    CFbConnection& Dest();
    bool SourceTables(std::vector<std::string>& tables);
    bool DestTables(std::vector<std::string>& tables);
    // Ends the destination's part: commits what is open and, for an
    // attachment of its own, detaches. False, with the server's message in
    // Dest().LastErrorMessage(), when either step failed.
    bool CloseDestination();
    void CloseSource();
    // Says whether the table's copy succeeded: the shared attachments of a
    // failed one are not given to the next table.
    void SetSucceeded(bool succeeded) { m_bSucceeded = succeeded; }

  private:
    CRunAttachments* m_pShared;
    SGroupInProgress* m_pGroup = nullptr;
    CFbConnection m_source;
    CFbConnection m_dest;
    bool m_bSucceeded = false;
    bool m_bDestClosed = false;
    bool m_bDestCloseFailed = false;
};
