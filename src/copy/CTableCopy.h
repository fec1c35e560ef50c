#pragma once

#include "copy/CRunAttachments.h"
#include "copy/CSourceRowReader.h"
#include "copy/TablePlan.h"
#include "db/CFbConnection.h"
#include "db/CFbCursor.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CCopyEngine;
class CRunLogs;
class CFbTransaction;
class CStagedRunLog;
class CWriterLanes;
struct SRunSettings;

// The copy of one table: reads the source through an ordered cursor, plans
// the destination's columns from both databases, empties the destination,
// inserts the rows in one transaction that is committed and checked, and
// sets the generators and identities that follow the rows. It works with
// the run's shared attachments, or with two of its own; whatever way it
// ends, the destination's triggers are on again.
class CTableCopy
{
  public:
    CTableCopy(CCopyEngine& engine, const std::string& table);
    ~CTableCopy();
    CTableCopy(const CTableCopy&) = delete;
    CTableCopy& operator=(const CTableCopy&) = delete;

    // True when every row arrived and every step succeeded, or the source is empty.
    bool Run();

  private:
    bool RunSteps();
    enum class ESource
    {
        Rows,
        Empty,
        Failed,
    };

    ESource OpenSource();
    bool OpenDestination();
    // Writes the rows; the transaction is the caller's to end.
    bool InsertRows(CStagedRunLog& stagedRows, int& failedRecords, int& insertedRows);
    void PublishRows(CStagedRunLog& stagedRows, bool committed);
    // Commits the rows: the table's transaction and, when several writers
    // carried them, theirs with it (see CWriterLanes).
    bool CommitRows(CFbTransaction& rows, std::string& error);
    // Logs a failure before any row was written (and, for a table the run
    // emptied ahead of its turn, that it stays empty); false.
    bool FailBeforeRows(const std::string& message, const std::string& detail);
    // A table of a group emptied ahead that ends without its rows: the run
    // log and the table's reason say so.
    void NoteNotRefilled();
    bool Aborted();
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

    CCopyEngine& m_engine;
    const SRunSettings& m_settings;
    CRunLogs& m_logs;
    const std::string m_sTable;
    const bool m_bEmptiedAhead;
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
    std::vector<std::uintptr_t> m_cancelable;
    // The extra writers of a large table over a slow network, or none.
    std::unique_ptr<CWriterLanes> m_lanes;
};
