#pragma once

#include "copy/plan/TablePlan.h"
#include "copy/read/CSourceRowReader.h"
#include "copy/read/SourceSelect.h"
#include "copy/run/CAbortSignal.h"
#include "copy/run/CRunAttachments.h"
#include "copy/run/TableOutcome.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CFbTransaction;
class CRunLogs;
class CRunSession;
class CStagedRunLog;
class CTriggersOff;
class CWriterLanes;
struct SGroupInProgress;
struct SRunSettings;

// The copy of one table: reads the source through an ordered cursor, plans
// the destination's columns from both databases, empties the destination,
// inserts the rows in one transaction that is committed and checked, and
// sets the generators and identities that follow the rows. It works with
// the run's shared attachments, or with two of its own; whatever way it
// ends, the destination's triggers are on again. A table of a group (see
// SGroupInProgress) only inserts its rows into the group's transaction and
// waits: the group's end commits them and then finishes the copy.
class CTableCopy
{
  public:
    CTableCopy(CRunSession& run, const std::string& table);
    ~CTableCopy();
    CTableCopy(const CTableCopy&) = delete;
    CTableCopy& operator=(const CTableCopy&) = delete;

    // What the copy came to: Copied when every row arrived and every step
    // succeeded, EmptySource, or Failed (with the reason when the copy knows
    // it). A table of a group is Copied while its rows wait for the group's
    // commit (Waiting).
    STableOutcome Run();
    // The rows are in the group's transaction, not yet committed.
    bool Waiting() const { return m_bWaiting; }
    const std::string& Table() const { return m_sTable; }
    // After the group's transaction ended: publishes the rows as committed
    // or not (whyNot says why not), and for committed rows sets generators
    // and identities and reads them back. Copied or Failed.
    STableOutcome FinishInGroup(bool committed, const std::string& whyNot);

  private:
    // The writing of the rows (InsertRows) reads and sets the copy's state.
    friend class CRowWriting;

    bool RunSteps();
    // A table copied on its own: its triggers go off, it is emptied and
    // refilled in one transaction, and its triggers come on again.
    bool ReplaceRows();
    // The triggers could not be switched off: the table is not touched.
    bool TriggersStayOn();
    // The table could not be emptied; its triggers are on again.
    bool EmptyingFailed(CTriggersOff& triggersOff);
    // Writes the rows in the table's transaction and commits them unless
    // the copy broke or was aborted; true when an abort came.
    bool WriteRows(CStagedRunLog& stagedRows, int& failedRecords, int& insertedRows, bool& committed,
                   std::string& commitError);
    // Says how rows that were not committed went back.
    void ReportRolledBack(bool abort, int insertedRows, const std::string& commitError);
    // Generators and identities follow rows that arrived; false when either failed.
    bool FollowRows();
    // How many attachments write the rows, for the outcome and the run.
    void NoteWriters(int writers);
    // Lets an abort cancel what the table's attachments run.
    void RegisterCancel() { m_cancel.emplace(m_abort, std::initializer_list<CFbConnection*>{&m_source, &m_dest}); }
    // A group's table after its rows were read: inserts them into the
    // group's transaction; false when the group cannot be committed.
    bool FillForGroup();
    enum class ESource
    {
        Rows,
        Empty,
        Failed,
    };

    ESource OpenSource();
    // How the source's select reads its text: legacy NONE text in the
    // run's code page, texts going on as their bytes, unmapped bytes marked.
    SSourceSelectOptions PlanSourceText();
    bool OpenDestination();
    // Writes the rows; the transaction is the caller's to end.
    bool InsertRows(CStagedRunLog& stagedRows, int& failedRecords, int& insertedRows);
    // Rolled back by an abort, the rows that were written are left out:
    // one entry (AbortedRows) says how many went back.
    void PublishRows(CStagedRunLog& stagedRows, bool committed, bool aborted = false);
    // The entries of rows that an abort rolled back; keeps their count.
    void AbortedRows(long long rows);
    // Commits the rows: the table's transaction and, when several writers
    // carried them, theirs with it (see CWriterLanes).
    bool CommitRows(CFbTransaction& rows, std::string& error);
    // Logs a failure before any row was written; false.
    bool FailBeforeRows(const std::string& message, const std::string& detail);
    // Logs the abort of the table; false.
    bool Aborted();
    // The abort came before any row was written: says what the table holds.
    bool AbortedBeforeRows();
    bool CopyFailed();
    // Reads the table back and compares it with the source; logs what it
    // found and gives true when every row is as the source has it.
    bool Verify(int failedRecords);
    // Says whether a table whose rows went back was left empty.
    void ReportWhatIsLeft();
    // Whether the destination table is one the copy may fill.
    bool IsDestinationTable(std::string& reason);
    // The source's spelling of a table the destination spells as m_sTable.
    std::string SourceSpelling();

    // "INSERT INTO T (A,B) VALUES (" for the named columns.
    static std::string InsertPrefix(const std::string& table, const std::vector<std::string>& columns);
    // Why rows with NONE text in column failed, and what helps.
    static std::string LegacyTextHint(const std::string& column);

    CRunSession& m_run;
    const SRunSettings& m_settings;
    CAbortSignal& m_abort;
    CRunLogs& m_logs;
    const std::string m_sTable;
    // The group that emptied this table in its transaction, or null.
    SGroupInProgress* const m_pGroup;
    CTableAttachments m_attachments;
    CFbConnection& m_source;
    CFbConnection& m_dest;
    CFbCursor m_cursor;
    int m_nUnmappedColumn = -1; // the cursor's UnmappedByteColumn, if it has one
    std::map<int, CSourceRowReader::SUnmapped> m_unmappedByColumn;
    bool m_bDestRefused = false; // the destination refused the attachment before the rows were read
    bool m_bSourceBroke = false; // the source stopped delivering rows: the copy is incomplete
    bool m_bDestBroke = false;   // the destination failed, not a row (ClassifyFault): the rows go back
    std::string m_sDestBroke;    // the server's message for it
    std::string m_sSourceTable;
    std::string m_sAmbiguousSource; // why the source's spelling of the name is unclear, if it is
    std::vector<SColumnInfo> m_sourceInfo;
    std::vector<SColumnInfo> m_destInfo;
    CStringGrid m_sourceTriggers;
    std::map<std::string, std::string> m_sourceIdentities;
    STablePlan m_plan;
    std::optional<CAbortSignal::CRegistration> m_cancel;
    STableOutcome m_outcome;
    // The extra writers of a large table over a slow network, or none.
    std::unique_ptr<CWriterLanes> m_lanes;
    // A group's table while it waits for the group's commit.
    bool m_bWaiting = false;
    std::unique_ptr<CStagedRunLog> m_staged;
    int m_nFailedRecords = 0;
    int m_nInsertedRows = 0;
    bool m_bRowsFailed = false;
};
