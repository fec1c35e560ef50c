#pragma once

#include "copy/logs/CRunLogs.h"
#include "copy/run/RunSettings.h"
#include "copy/safety/CTriggerJournal.h"
#include "core/CFileLock.h"

#include <memory>
#include <string>
#include <vector>

// What happens before a run writes anything: the databases and credentials
// are taken and both attached once; for a real run the free space is
// checked, the run's files are named, the source is backed up and the
// destination copied as its way back. It keeps what it found for the front
// ends and the run log, and the run's copy of the destination, which it
// removes when the engine goes unless KeepDestinationCopy moved it away.
class CRunPreparation
{
  public:
    CRunPreparation(SRunSettings& settings, CRunLogs& logs, const CTriggerJournal& journal);
    ~CRunPreparation();
    CRunPreparation(const CRunPreparation&) = delete;
    CRunPreparation& operator=(const CRunPreparation&) = delete;

    // The credentials of a database named without them.
    void SetDefaults(const std::string& user, const std::string& password);
    const std::string& DefaultUser() const { return m_sDefUser; }
    const std::string& DefaultPassword() const { return m_sDefPass; }
    // The tables of the next run and whether it logs: the next preparation
    // counts their logs' room (EstimateLogBytes) in its free-space check.
    void PlanLogs(const std::vector<std::string>& tables, ELogging logging)
    {
        m_plannedTables = tables;
        m_plannedLogging = logging;
    }

    // See CCopyEngine::PrepareCopy and PrepareAttachments.
    int Prepare(const SDatabaseLogin& source, const SDatabaseLogin& dest, bool makeBackup,
                const std::string& programFolder, bool checkOnly);
    int Attach(const SDatabaseLogin& source, const SDatabaseLogin& dest);

    // The server's message for the attach that made the last preparation
    // give 1 or 2; empty when both databases attached.
    const std::string& LastAttachError() const { return m_sAttachError; }
    // The file systems that lacked room when the preparation gave 4.
    const std::vector<SSpaceShortage>& SpaceShortages() const { return m_spaceShortages; }
    // What the three logs of a run over these tables will take, from their
    // row counts and column widths; needs the databases prepared.
    long long EstimateLogBytes(const std::vector<std::string>& tables);
    // How the last preparation copied each database, the reason when a copy
    // failed, and the backup locks of killed runs it ended (their names).
    ECopyKind SourceCopyKind() const { return m_sourceCopyKind; }
    ECopyKind DestinationCopyKind() const { return m_destCopyKind; }
    const std::string& SourceCopyError() const { return m_sSourceCopyError; }
    const std::string& DestinationCopyError() const { return m_sDestCopyError; }
    const std::vector<std::string>& StaleLocksEnded() const { return m_staleLocksEnded; }
    // Whether the last full preparation made the source backup it was asked
    // for and the copy of the destination as it was before the run.
    bool BackupMade() const { return m_bBackupMade; }
    bool DestinationCopyMade() const { return m_bDestinationCopyMade; }
    // The copies of a destination that runs killed before their end left in
    // the program folder, as the last full preparation found them: kept
    // where they lie, since after a kill they may be the only copy of the
    // rows the killed run emptied.
    const std::vector<std::string>& KilledRunCopies() const { return m_killedRunCopies; }
    // Moves the copy of the destination as it was before the run next to the
    // run's logs, where no later run replaces it; its path, or empty when no
    // copy was made. After a failed table it is the user's way back.
    std::string KeepDestinationCopy();

    // The bytes a run's files take: backup, way back, logs.
    struct SDiskUse
    {
        long long backup = 0;
        long long wayBack = 0;
        long long logs = 0;
    };
    SDiskUse DiskUse() const;
    // Writes to the run log what the run's files take on disk.
    void ReportDiskUse(ELogging logging);
    // Writes to the run log how the preparation copied the databases, and
    // the backup locks of killed runs it ended.
    void ReportCopies(ELogging logging);

  private:
    // The login with the default credentials where it names none.
    SDatabaseLogin WithDefaults(SDatabaseLogin login) const;
    // Attaches once and reads what identifies the database and whether it
    // has files beside the primary one; false with the server's message.
    bool Probe(const SDatabaseLogin& login, std::string& identity, bool& inFiles);
    // The folder of the run's logs, from the places or beside the source.
    std::string RunFolder(const std::string& day) const;
    // Makes the run's folders and names its files; the error report too.
    void NameRunFiles(const std::string& runFolder, const std::string& time, const std::string& extension);
    // The stamp of the run's files that no earlier run of the second holds.
    std::string FreeRunStamp(const std::string& runFolder, const std::string& time, const std::string& extension);
    // Copies the destination as it was before the run, under the name of
    // this run; without a copy, DestinationCopyError says why.
    void MakeWayBack(const std::string& programFolder, const std::string& time, const std::string& extension);
    // Removes the copy the previous preparation of this engine made.
    void RemovePreviousCopy();
    std::string ReserveProgramFolderNames(const std::string& programFolder, const std::string& extension);
    // A name in the program folder for this run's copy of its destination
    // that no other run, earlier or at the same time, has.
    std::string NewDestinationCopyName(const std::string& programFolder, const std::string& stamp,
                                       const std::string& extension) const;
    // The destination copies in the program folder whose run was killed;
    // removes the half copies among them. heldSlot: the older name this
    // engine holds the lock of itself.
    std::vector<std::string> FindKilledRunCopies(const std::string& programFolder, const std::string& heldSlot) const;
    // The free-space check: false, with m_spaceShortages, when a file
    // system lacks room.
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

    SRunSettings& m_settings;
    CRunLogs& m_logs;
    const CTriggerJournal& m_journal;
    std::string m_sDefUser;
    std::string m_sDefPass;
    std::string m_sAttachError;
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
    // Held while this engine's destination copy and failure list use their
    // names in the program folder.
    std::unique_ptr<CFileLock> m_programFolderNames;
};
