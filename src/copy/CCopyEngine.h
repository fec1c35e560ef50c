#pragma once

#include "copy/CLogWriter.h"
#include "copy/CTriggerJournal.h"
#include "core/CStringGrid.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CFbConnection;
class CStagedRunLog;
class CFbCursor;
struct SColumnInfo;
struct SDeferredColumns;
struct SRunPlan;
struct STableGroup;
struct STablePlan;

// Copies the rows of one table at a time from the source database into the
// same-named table of the destination database, switching the destination's
// triggers off around the inserts and carrying the generators over, and
// writes the run log, the SQL log, the data text log and the failed-records
// report.
class CCopyEngine
{
  public:
    CCopyEngine() = default;
    ~CCopyEngine();
    CCopyEngine(const CCopyEngine&) = delete;
    CCopyEngine& operator=(const CCopyEngine&) = delete;

    void Init(const std::string& defUser, const std::string& defPass, int attempts);
    // Copies one table; mode 0 or 2 turns the three logs off.
    bool RunTable(const std::string& table, int mode);
    // True when every row arrived and every step succeeded, or the source is empty.
    bool CopyTable(const std::string& table);
    // Stores the run's databases and credentials and tests both attachments;
    // for a real run also fixes the log names and makes the backups.
    // 0 prepared, 1 source not attachable, 2 destination not attachable,
    // 3 both names reach the same database.
    int PrepareCopy(const std::string& sourceDB, const std::string& sourceUser, const std::string& sourcePassword,
                    const std::string& destDB, const std::string& destUser, const std::string& destPassword,
                    bool makeBackup, const std::string& programFolder, bool checkOnly);
    // The server's message for the attach that made the last PrepareCopy
    // give 1 or 2 (wrong password, no server, a locked file ...); empty
    // when both databases attached.
    const std::string& LastAttachError() const { return m_sAttachError; }
    void GetLogFiles(std::string& log, std::string& sql, std::string& text) const;
    // Marks the engine busy with a run; false when a run holds it already.
    bool BeginRun()
    {
        if (m_bRunActive.exchange(true))
            return false;
        m_bAbort.store(false);
        for (CLogWriter* writer : {&m_logs.run, &m_logs.sql, &m_logs.text})
            writer->ResetLost();
        return true;
    }
    void EndRun() { m_bRunActive.store(false); }
    // Ends the table in progress at once: its running statements are
    // cancelled at the server, its rows rolled back and its triggers switched
    // on again; the run then ends. Safe to call from any thread.
    void RequestAbort();
    bool AbortRequested() const { return m_bAbort.load(); }
    // The destination as the trigger journal names it.
    CTriggerJournal::SDatabase DestinationKey() const { return {m_sDestDb, m_sDestIdentity}; }
    // Whether the last full preparation made the source backup it was asked
    // for and the copy of the destination as it was before the run.
    bool BackupMade() const { return m_bBackupMade; }
    bool DestinationCopyMade() const { return m_bDestinationCopyMade; }
    // Moves the copy of the destination as it was before the run next to the
    // run's logs, where no later run replaces it; its path, or empty when no
    // copy was made. After a failed table it is the user's way back.
    std::string KeepDestinationCopy();
    bool IsRunActive() const { return m_bRunActive.load(); }
    // The first log file that lost an entry since the run began (a folder
    // that cannot be written, a full disk); empty when every entry arrived.
    std::string LostLogFile() const
    {
        for (const CLogWriter* writer : {&m_logs.run, &m_logs.sql, &m_logs.text})
        {
            if (writer->Lost())
                return writer->Path();
        }
        return {};
    }

    bool WriteLog(const std::string& message, const std::string& detail);
    bool WriteSqlLog(const std::string& text);
    bool WriteTextLog(const std::string& text);

    bool CleanupTable(CFbConnection& connection, const std::string& table);
    // The record of switched-off triggers; its path is set by the program.
    CTriggerJournal& Journal() { return m_journal; }

    // The order of a run whose tables foreign keys or CHECKs join (see
    // SRunPlan); an unreadable destination gives the list order.
    SRunPlan PlanTables(const std::vector<std::string>& tables, int mode);
    // Logs what the plan cannot do: key cycles without a nullable key, CHECKs
    // whose columns cannot wait.
    void ReportPlan(const SRunPlan& plan);
    // Checks that every table of a group can be refilled and empties the
    // group (children first, deferred keys of old rows cleared) in one
    // transaction; its copies then insert the deferred columns as NULL.
    // False, with the reasons logged for every table, when the group cannot
    // be copied: then no row of it has changed.
    bool BeginGroup(const STableGroup& group, const std::vector<SDeferredColumns>& deferred);
    void EndGroup();
    // Names the tables of a group that the run emptied and, ended early,
    // does not fill again.
    void ReportUnfilled(const std::vector<std::string>& tables);
    // Sets deferred columns from the source once their tables are filled.
    bool ApplyDeferredColumns(const SDeferredColumns& entry);
    bool SetTriggersActive(CFbConnection& connection, const std::string& table, bool active);
    bool SetGenerators(CFbConnection& connection, CStringGrid& sourceTriggerGrid, const std::string& table);

    // "INSERT INTO T (A,B) VALUES (" for the destination's columns.
    static std::string BuildInsertPrefix(CStringGrid& destColumns, const std::string& table);
    // Stores in row 2 of each destination column the index of the source
    // column of the same name, or -1.
    static void MapColumns(CStringGrid& sourceColumns, CStringGrid& destColumns);
    // The literal INSERT of source row r, as the SQL log shows it.
    static std::string BuildInsert(CStringGrid& destColumns, CStringGrid& sourceRows, const std::string& prefix, int r);

    std::string m_sSqlLogFile;
    std::string m_sTextLogFile;
    std::string m_sLogFile;
    std::string m_sErrorFile;
    std::string m_sBackupFile;
    std::string m_sTempBackupFile;
    std::string m_sSourceDb;
    std::string m_sSourceUser;
    std::string m_sSourcePassword;
    std::string m_sDestDb;
    std::string m_sDestUser;
    std::string m_sDestPassword;
    // What identifies each database whatever its name (ReadDatabaseIdentity);
    // empty when the server would not say.
    std::string m_sSourceIdentity;
    std::string m_sDestIdentity;
    std::string m_sTablePrefix;
    std::string m_sLogEntry; // the run-log entry being written
    std::string m_sDefUser;
    std::string m_sDefPass;
    // The code page of the source's CHARACTER SET NONE text (a Firebird
    // character set name such as WIN1252); empty copies its bytes as they are.
    std::string m_sSourceCharset;
    bool m_bLog = false;
    int m_nAttempts = 1;
    // Most rows sent per round trip (1: one INSERT per row).
    size_t m_nMaxBatchRows = 128;

  private:
    struct SLogs
    {
        CLogWriter run;
        CLogWriter sql;
        CLogWriter text;
    };

    bool InsertRows(CFbCursor& cursor, CFbConnection& dest, const STablePlan& plan, CStagedRunLog& stagedRows,
                    int& failedRecords, int& insertedRows);
    // Writes the staged row entries of a table to the run log.
    void PublishRows(CStagedRunLog& stagedRows, bool committed);
    // Switches on the triggers an aborted table had switched off, through an
    // attachment of its own: the table's own may carry the cancel still.
    bool RestoreTriggersAfterAbort(const std::string& table);
    // Whether a table of the destination is one the copy may fill.
    bool IsDestinationTable(CFbConnection& dest, const std::string& table, std::string& reason);
    // The source's spelling of a table the destination spells as table.
    static std::string SourceSpelling(CFbConnection& source, const std::string& table);
    // "INSERT INTO T (A,B) VALUES (" for the named columns.
    static std::string InsertPrefix(const std::string& table, const std::vector<std::string>& columns);
    // Why rows with NONE text in column failed, and what helps.
    static std::string LegacyTextHint(const std::string& column);
    // Commits the inserted rows; false (logged) when the server refuses.
    bool CommitRows(CFbConnection& dest);
    bool SetIdentities(CFbConnection& connection, const std::string& table, const std::vector<SColumnInfo>& destInfo,
                       const std::map<std::string, std::string>& sourceIdentities);
    static std::map<std::string, std::string> ReadIdentities(CFbConnection& connection,
                                                             const std::vector<SColumnInfo>& info);
    // A server message on one line.
    static std::string OneLine(const std::string& message);
    // Appends "%i %s record(s) could not be copied." to the error file.
    void WriteReport(int failedRecords, const std::string& table);
    // Writes the server's message for a failed statement as an SQL comment.
    void WriteSqlFailure(const std::string& serverMessage);
    // The SQL-log comment that carries a server message on one line.
    static std::string SqlFailureComment(const std::string& serverMessage);

    bool Append(CLogWriter& writer, const std::string& path, const std::string& text);

    bool FailGroup(const STableGroup& group, const std::string& reason);
    void SetTablePrefix(const std::string& table);

    SLogs m_logs;
    CTriggerJournal m_journal;
    std::string m_sAttachError;
    bool m_bInTable = false;
    // Set while a group is copied: its tables emptied ahead of their turn,
    // and the columns its copies insert as NULL.
    std::set<std::string> m_emptiedTables;
    std::map<std::string, std::set<std::string>> m_deferredColumns;
    std::atomic<bool> m_bRunActive{false};
    std::atomic<bool> m_bAbort{false};
    // The attachments of the table in progress, for an abort to cancel.
    std::mutex m_cancelMutex;
    std::vector<std::uintptr_t> m_cancelable;
    friend class CCancelable;
    // Triggers each table's copy switched off, to switch on exactly those.
    std::map<std::string, std::vector<std::string>> m_switchedOff;
    std::string m_sRunFolder;
    std::string m_sRunStamp;
    bool m_bBackupMade = true;
    bool m_bDestinationCopyMade = true;
};
