#pragma once

#include "copy/CLogWriter.h"
#include "copy/CTriggerJournal.h"
#include "core/CStringGrid.h"

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <vector>

class CFbConnection;
class CFbCursor;
struct SColumnInfo;
struct SForeignKey;
struct SRunPlan;

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
    // 0 prepared, 1 source not attachable, 2 destination not attachable.
    int PrepareCopy(const std::string& sourceDB, const std::string& sourceUser, const std::string& sourcePassword,
                    const std::string& destDB, const std::string& destUser, const std::string& destPassword,
                    bool makeBackup, const std::string& programFolder, bool checkOnly);
    void GetLogFiles(std::string& log, std::string& sql, std::string& text) const;
    // Marks the engine busy with a run; false when a run holds it already.
    bool BeginRun()
    {
        if (m_bRunActive.exchange(true))
            return false;
        for (CLogWriter* writer : {&m_logs.run, &m_logs.sql, &m_logs.text})
            writer->ResetLost();
        return true;
    }
    void EndRun() { m_bRunActive.store(false); }
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

    // The order of a run whose tables foreign keys join (see SRunPlan); an
    // unreadable destination gives the list order.
    SRunPlan PlanTables(const std::vector<std::string>& tables, int mode);
    // Takes a reordered plan for the run: empties its tables children first,
    // makes the copies insert deferred key columns as NULL and reports keys
    // that form an unbreakable cycle. Gives the tables whose emptying failed.
    std::set<std::string> BeginReorderedRun(const SRunPlan& plan);
    // Sets a deferred key's columns from the source once both tables are filled.
    bool ApplyDeferredKey(const SForeignKey& key);
    void EndReorderedRun();
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
    std::string m_sTablePrefix;
    std::string m_sLogEntry; // the run-log entry being written
    std::string m_sDefUser;
    std::string m_sDefPass;
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

    bool SelectTable(CFbConnection& connection, CFbCursor& cursor, CStringGrid& columns, const std::string& table,
                     std::string& sql);
    std::string SelectWithInlineBlobs(CFbConnection& connection, CStringGrid& described, const std::string& table,
                                      const std::string& first, const std::string& plainSql);
    bool InsertRows(CFbConnection& source, CFbCursor& cursor, CFbConnection& dest, CStringGrid& sourceColumns,
                    CStringGrid& destColumns, const std::string& table, int& failedRecords);
    static void RemoveComputedColumns(CStringGrid& destColumns, const std::vector<SColumnInfo>& destInfo);
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

    bool EmptyTable(const std::string& table);
    void ClearKeyColumns(const SForeignKey& key);
    void SetTablePrefix(const std::string& table);

    SLogs m_logs;
    CTriggerJournal m_journal;
    bool m_bInTable = false;
    // Set while a reordered run holds: tables already emptied by the run, the
    // ones among them whose emptying failed, and key columns inserted as NULL.
    std::set<std::string> m_emptiedTables;
    std::set<std::string> m_failedEmptying;
    std::map<std::string, std::set<std::string>> m_deferredColumns;
    std::atomic<bool> m_bRunActive{false};
};
