#pragma once

#include "copy/safety/CFailedTables.h"
#include "copy/logs/CRunLogs.h"
#include "copy/safety/CTriggerJournal.h"
#include "copy/run/RunSettings.h"
#include "copy/run/TableOutcome.h"
#include "core/CFileLock.h"
#include "core/CStringGrid.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CFbConnection;
class CRunAttachments;
struct SColumnInfo;
struct SDeferredColumns;
struct SGroupInProgress;
struct SRunPlan;
struct STableGroup;

// Copies the rows of one table at a time from the source database into the
// same-named table of the destination database, switching the destination's
// triggers off around the inserts and carrying the generators over, and
// writes the run log, the SQL log, the data text log and the failed-records
// report. The engine holds what a run shares (its settings, logs, trigger
// journal, the state of a group of joined tables); each table's copy is a
// CTableCopy of its own.

class CCopyEngine
{
  public:
    CCopyEngine();
    ~CCopyEngine();
    CCopyEngine(const CCopyEngine&) = delete;
    CCopyEngine& operator=(const CCopyEngine&) = delete;

    void Init(const std::string& defUser, const std::string& defPass, int attempts);
    // Where the next preparations put the run's files, and whether they copy
    // the destination first.
    void SetPlaces(const SRunPlaces& places) { m_settings.places = places; }
    // The tables of the next run and whether it logs: the next preparation
    // counts their logs' room (EstimateLogBytes) in its free-space check.
    void PlanLogs(const std::vector<std::string>& tables, ELogging logging)
    {
        m_plannedTables = tables;
        m_plannedLogging = logging;
    }
    // What the three logs of a run over these tables will take, from their
    // row counts and column widths; needs the attachments prepared.
    long long EstimateLogBytes(const std::vector<std::string>& tables);
    // The file systems that lacked room when PrepareCopy gave 4.
    const std::vector<SSpaceShortage>& SpaceShortages() const { return m_spaceShortages; }
    // How the last preparation copied each database, the reason when a copy
    // failed, and the backup lock a killed run had left on a database, ended
    // (its name; empty when none was found).
    ECopyKind SourceCopyKind() const { return m_sourceCopyKind; }
    ECopyKind DestinationCopyKind() const { return m_destCopyKind; }
    const std::string& SourceCopyError() const { return m_sSourceCopyError; }
    const std::string& DestinationCopyError() const { return m_sDestCopyError; }
    const std::vector<std::string>& StaleLocksEnded() const { return m_staleLocksEnded; }
    // Writes to the run log what the run's files take on disk.
    void ReportDiskUse(ELogging logging);
    // Writes to the run log how the preparation copied the databases, and
    // the backup locks of killed runs it ended.
    void ReportCopies(ELogging logging);
    // The bytes a run's files take: backup, way back, logs.
    struct SDiskUse
    {
        long long backup = 0;
        long long wayBack = 0;
        long long logs = 0;
    };
    SDiskUse DiskUse() const;
    // Copies one table with or without the three logs.
    bool RunTable(const std::string& table, ELogging logging);
    // True when every row arrived and every step succeeded, or the source is empty.
    bool CopyTable(const std::string& table);
    // Stores the run's databases and credentials and tests both attachments;
    // for a real run also fixes the log names and makes the backups.
    // 0 prepared, 1 source not attachable, 2 destination not attachable,
    // 3 both names reach the same database, 4 too little free space for the
    // copies and logs (nothing written; see SpaceShortages).
    int PrepareCopy(const std::string& sourceDB, const std::string& sourceUser, const std::string& sourcePassword,
                    const std::string& destDB, const std::string& destUser, const std::string& destPassword,
                    bool makeBackup, const std::string& programFolder, bool checkOnly);
    // Takes the run's databases and credentials (empty ones are the
    // defaults) and attaches each once, changing nothing anywhere: the
    // results of PrepareCopy with checkOnly, for a check that only reads.
    int PrepareAttachments(const SDatabaseLogin& source, const SDatabaseLogin& dest);
    // The server's message for the attach that made the last PrepareCopy
    // give 1 or 2 (wrong password, no server, a locked file ...); empty
    // when both databases attached.
    const std::string& LastAttachError() const { return m_sAttachError; }
    void GetLogFiles(std::string& log, std::string& sql, std::string& text) const;

    // What the run works with; PrepareCopy fills it.
    const SRunSettings& Settings() const { return m_settings; }
    // Replaces the settings, for a caller (or a test) that sets them itself.
    void Configure(const SRunSettings& settings);
    void SetSourceCharset(const std::string& charset) { m_settings.sourceCharset = charset; }
    void SetMaxBatchRows(size_t rows) { m_settings.maxBatchRows = rows; }
    void SetVerify(bool verify) { m_settings.verify = verify; }
    // Called (on the copying thread) as a table's rows are read back to be
    // compared with the source.
    void SetVerifyListener(std::function<void(const std::string& table)> listener)
    {
        m_onVerifying = std::move(listener);
    }
    void NoteVerifying(const std::string& table) const
    {
        if (m_onVerifying)
            m_onVerifying(table);
    }
    // Called (on the copying thread) with the rows of the table in progress
    // that went through; all is true once every row has.
    void SetRowListener(std::function<void(long long rows, bool all)> listener) { m_onRows = std::move(listener); }
    void NoteRows(long long rows, bool all) const
    {
        if (m_onRows)
            m_onRows(rows, all);
    }
    // The source rows of each table (one COUNT(*) each, counted by the
    // server); -1 for a table that could not be counted. Stops counting
    // once an abort is requested.
    std::vector<long long> CountSourceRows(const std::vector<std::string>& tables);
    // Ends what a copy interrupted between the two phases of its commit
    // left in limbo in the destination (see PreparedCommits.h), and says so
    // in the run log; false when some of it could not be ended.
    bool ResolveInterruptedCommits(ELogging logging);
    // The tables whose interrupted copy the last ResolveInterruptedCommits
    // committed: neither verified nor with their generators set.
    const std::vector<std::string>& CommittedFromLimbo() const { return m_committedFromLimbo; }
    // Writes to the run log that a killed copy left tables unfinished.
    void ReportUnfinished(const std::vector<std::string>& tables, ELogging logging);
    // Writes to the run log, under the table the run stopped after, that a
    // stop request ended the run and which tables it did not start.
    void ReportStopped(const std::string& lastTable, const std::vector<std::string>& notStarted);
    // The run log's entry that an abort in table left the tables notStarted out.
    void ReportAborted(const std::string& table, const std::vector<std::string>& notStarted);
    const std::string& DefaultUser() const { return m_sDefUser; }
    const std::string& DefaultPassword() const { return m_sDefPass; }

    // While on, the tables copied share one source and one destination
    // attachment (made when the first table needs them); turning it off
    // detaches them. Off, every table attaches both databases for itself.
    void ShareAttachments(bool share);
    CRunAttachments* SharedAttachments() { return m_sharedAttachments.get(); }
    // How many attachments wrote the rows of the table copied last: 1, or
    // more when a large table went over a slow network (see CWriterLanes).
    int LastTableWriters() const { return m_nLastTableWriters.load(); }
    void NoteTableWriters(int writers) { m_nLastTableWriters.store(writers); }

    // Marks the engine busy with a run; false when a run holds it already.
    bool BeginRun();
    void EndRun() { m_bRunActive.store(false); }
    bool IsRunActive() const { return m_bRunActive.load(); }
    // Ends the table in progress at once: its running statements are
    // cancelled at the server, its rows rolled back and its triggers switched
    // on again; the run then ends. Safe to call from any thread.
    void RequestAbort();
    bool AbortRequested() const { return m_bAbort.load(); }
    // The destination as the trigger journal names it.
    CTriggerJournal::SDatabase DestinationKey() const { return {m_settings.dest.database, m_settings.destIdentity}; }
    // Whether the last full preparation made the source backup it was asked
    // for and the copy of the destination as it was before the run.
    bool BackupMade() const { return m_bBackupMade; }
    bool DestinationCopyMade() const { return m_bDestinationCopyMade; }
    // Moves the copy of the destination as it was before the run next to the
    // run's logs, where no later run replaces it; its path, or empty when no
    // copy was made. After a failed table it is the user's way back.
    std::string KeepDestinationCopy();
    // The copies of a destination that runs killed before their end left in
    // the program folder, as the last full preparation found them: kept
    // where they lie, since after a kill they may be the only copy of the
    // rows the killed run emptied.
    const std::vector<std::string>& KilledRunCopies() const { return m_killedRunCopies; }
    // The first log file that lost an entry since the run began (a folder
    // that cannot be written, a full disk); empty when every entry arrived.
    std::string LostLogFile() const { return m_logs.LostLogFile(); }
    std::vector<std::string> LostLogFiles() const { return m_logs.LostLogFiles(); }

    CRunLogs& Logs() { return m_logs; }
    bool WriteLog(const std::string& message, const std::string& detail) { return m_logs.WriteLog(message, detail); }
    bool WriteSqlLog(const std::string& text) { return m_logs.WriteSqlLog(text); }
    bool WriteTextLog(const std::string& text) { return m_logs.WriteTextLog(text); }

    bool CleanupTable(CFbConnection& connection, const std::string& table);
    // The record of switched-off triggers; its path is set by the program.
    CTriggerJournal& Journal() { return m_journal; }
    // The record of the tables the last run into each destination failed;
    // its path is set by the program.
    CFailedTables& FailedTables() { return m_failedTables; }
    // The figures of the table last copied (RunTable, CopyTable); the table's
    // copy fills them in as it goes.
    STableOutcome& TableOutcome() { return m_outcome; }
    // Why the last group could not be copied; empty when it could.
    const std::string& GroupFailure() const { return m_sGroupFailure; }
    // Why table itself kept its group from being copied; empty when it did not.
    std::string GroupRefusal(const std::string& table) const
    {
        const auto found = m_groupRefusals.find(table);
        return found != m_groupRefusals.end() ? found->second : std::string();
    }

    // The order of a run whose tables foreign keys or CHECKs join (see
    // SRunPlan); an unreadable destination gives the list order.
    SRunPlan PlanTables(const std::vector<std::string>& tables, ELogging logging);
    // Logs what the plan cannot do: key cycles without a nullable key, CHECKs
    // whose columns cannot wait.
    void ReportPlan(const SRunPlan& plan);
    // Checks that every table of a group can be refilled, switches their
    // triggers off and empties them (children first, deferred keys of old
    // rows cleared) in the group's transaction (see SGroupInProgress); its
    // copies then insert their rows into it, the deferred columns as NULL.
    // False, with the reasons logged for every table, when the group cannot
    // be copied: then no row of it has changed.
    bool BeginGroup(const STableGroup& group, const std::vector<SDeferredColumns>& deferred);
    // How a group ended: committed whole, or rolled back whole.
    struct SGroupEnd
    {
        bool committed = false;
        // The tables that waited for the commit, in fill order, finished.
        std::vector<STableOutcome> outcomes;
    };
    // Ends the group in progress: sets the deferred columns, commits the
    // group's transaction unless a table of it failed or an abort came (then
    // it rolls back, and every table keeps its old rows), finishes each
    // waiting table and switches the triggers on again.
    SGroupEnd EndGroup(const std::vector<SDeferredColumns>& deferred);
    // The group in progress when it empties table, or null.
    SGroupInProgress* GroupReplacing(const std::string& table) const;
    // True when a table of the group in progress failed: the group rolls back.
    bool GroupBroken() const;
    // Logs that table, of a group that broke before its turn, is not copied,
    // and gives the reason, which names the table that failed.
    std::string SkipInBrokenGroup(const std::string& table);
    // True when the last table copied waits for its group's commit.
    bool TableWaits() const { return m_bTableWaits; }
    // The columns a group's copy of table inserts as NULL and sets later.
    std::set<std::string> DeferredColumnsOf(const std::string& table) const;
    // Notes, before their rows go, the tables a run replaces; a run killed
    // before it ends leaves them noted (CFailedTables::Unfinished).
    void NoteUnfinished(const std::vector<std::string>& tables);

    bool SetTriggersActive(CFbConnection& connection, const std::string& table, bool active);
    // After switching off failed (no right to alter the table): the
    // triggers that are still on need not, and often cannot, be switched on.
    void ForgetTriggersStillOn(CFbConnection& connection, const std::string& table);
    // True when the last switching off was refused because the trigger
    // journal could not record it: nothing was switched off.
    bool JournalRefused() const { return m_bJournalRefused; }
    bool SetGenerators(CFbConnection& source, CFbConnection& connection, CStringGrid& sourceTriggerGrid,
                       const std::string& table);
    bool SetIdentities(CFbConnection& connection, const std::string& table, const std::vector<SColumnInfo>& destInfo,
                       const std::map<std::string, std::string>& sourceIdentities);
    static std::map<std::string, std::string> ReadIdentities(CFbConnection& connection,
                                                             const std::vector<SColumnInfo>& info);
    // Switches on the triggers an aborted table had switched off, through an
    // attachment of its own: the table's own may carry the cancel still.
    bool RestoreTriggersAfterAbort(const std::string& table);
    // Commits the open work of dest; false (logged) when the server refuses.
    bool CommitRows(CFbConnection& dest);

    // Lets an abort cancel what the attachments run (in-process ones only);
    // unregistered before they close.
    void RegisterCancelable(CFbConnection& connection, std::vector<std::uintptr_t>& handles);
    void UnregisterCancelable(std::vector<std::uintptr_t>& handles);

  private:
    bool FailGroup(const STableGroup& group, const std::string& reason);
    // What setting a group's deferred columns came to.
    enum class EDeferred
    {
        Set,
        RowsFailed, // rows refused their values: the table fails, the group commits
        Broken,     // the statement could not run: the group rolls back
    };
    EDeferred ApplyDeferredColumns(const SDeferredColumns& entry);
    // Switches the triggers of the group's emptied tables on again.
    void SwitchGroupTriggersOn(bool afterAbort);
    bool EmptyGroup(const STableGroup& group, const std::vector<SDeferredColumns>& deferred,
                    const std::vector<std::string>& toEmpty, std::string& failedTable);
    std::string ReserveProgramFolderNames(const std::string& programFolder, const std::string& extension);
    // A name in the program folder for this run's copy of its destination
    // that no other run, earlier or at the same time, has.
    std::string NewDestinationCopyName(const std::string& programFolder, const std::string& stamp,
                                       const std::string& extension) const;
    // The destination copies in the program folder whose run was killed;
    // removes the half copies among them. heldSlot: the older name this
    // engine holds the lock of itself.
    std::vector<std::string> FindKilledRunCopies(const std::string& programFolder, const std::string& heldSlot) const;

    SRunSettings m_settings;
    std::unique_ptr<CRunAttachments> m_sharedAttachments;
    std::atomic<int> m_nLastTableWriters{1};
    std::function<void(const std::string&)> m_onVerifying;
    std::function<void(long long, bool)> m_onRows;
    std::string m_sDefUser;
    std::string m_sDefPass;
    CRunLogs m_logs;
    CTriggerJournal m_journal;
    CFailedTables m_failedTables;
    STableOutcome m_outcome;
    std::string m_sGroupFailure;
    std::map<std::string, std::string> m_groupRefusals;
    std::string m_sAttachError;
    // Set while a group is copied.
    std::unique_ptr<SGroupInProgress> m_group;
    bool m_bTableWaits = false;
    std::atomic<bool> m_bRunActive{false};
    std::atomic<bool> m_bAbort{false};
    // The attachments of the table in progress, for an abort to cancel.
    std::mutex m_cancelMutex;
    std::vector<std::uintptr_t> m_cancelable;
    // Triggers each table's copy switched off, to switch on exactly those.
    std::map<std::string, std::vector<std::string>> m_switchedOff;
    bool m_bJournalRefused = false;
    std::vector<std::string> m_committedFromLimbo;
    std::string m_sRunFolder;
    std::string m_sRunStamp;
    bool m_bBackupMade = true;
    bool m_bDestinationCopyMade = true;
    std::vector<std::string> m_killedRunCopies;
    std::vector<std::string> m_plannedTables;
    ELogging m_plannedLogging = ELogging::Off;
    std::vector<SSpaceShortage> m_spaceShortages;
    ECopyKind m_sourceCopyKind = ECopyKind::None;
    ECopyKind m_destCopyKind = ECopyKind::None;
    std::string m_sSourceCopyError;
    std::string m_sDestCopyError;
    std::vector<std::string> m_staleLocksEnded;
    // The free-space check of PrepareCopy: false, with m_spaceShortages, when
    // a file system lacks room.
    bool CheckFreeSpace(bool makeBackup, const std::string& programFolder, const std::string& runFolder);
    // Copies a database in the consistent way its place allows, to target
    // (renamed to ".fbk" for a server's backup); the kind made, or None with
    // the reason in error.
    ECopyKind CopyDatabase(const SDatabaseLogin& login, bool inFiles, std::string& target,
                           const std::string& programFolder, std::string& error);
    // Ends the backup state that a killed run's copy left on either database.
    void EndStaleBackupLocks(const std::string& programFolder);
    // The folder of the trigger journal (the data folder), else the program folder.
    std::string StateFolder(const std::string& programFolder) const;
    // The folder where a database copy of the run goes.
    std::string CopyFolder(const std::string& usual) const;
    // Held while this engine's destination copy and failure list use their
    // names in the program folder.
    std::unique_ptr<CFileLock> m_programFolderNames;
};
