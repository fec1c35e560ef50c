#pragma once

#include "copy/logs/CRunLogs.h"
#include "copy/prepare/CRunPreparation.h"
#include "copy/run/CAbortSignal.h"
#include "copy/run/RunSettings.h"
#include "copy/run/TableOutcome.h"
#include "copy/safety/CFailedTables.h"
#include "copy/safety/CTriggerJournal.h"

#include <atomic>
#include <string>

// What copies between one source and one destination share from run to
// run: the settings their preparation fills, the logs, the trigger journal,
// the record of failed tables and the abort. A run itself is a CRunSession
// (see RunCopyJob), and each table's copy a CTableCopy of its own.
class CCopyEngine
{
  public:
    CCopyEngine();
    ~CCopyEngine();
    CCopyEngine(const CCopyEngine&) = delete;
    CCopyEngine& operator=(const CCopyEngine&) = delete;

    // The credentials of databases named without them, and the attach
    // attempts of every attachment.
    void Init(const std::string& defUser, const std::string& defPass, int attempts);
    // Stores the run's databases and credentials and tests both attachments;
    // for a real run also fixes the log names and makes the backups.
    // 0 prepared, 1 source not attachable, 2 destination not attachable,
    // 3 both names reach the same database, 4 too little free space for the
    // copies and logs (nothing written; see Preparation().SpaceShortages).
    int PrepareCopy(const std::string& sourceDB, const std::string& sourceUser, const std::string& sourcePassword,
                    const std::string& destDB, const std::string& destUser, const std::string& destPassword,
                    bool makeBackup, const std::string& programFolder, bool checkOnly);
    // Takes the run's databases and credentials (empty ones are the
    // defaults) and attaches each once, changing nothing anywhere: the
    // results of PrepareCopy with checkOnly, for a check that only reads.
    int PrepareAttachments(const SDatabaseLogin& source, const SDatabaseLogin& dest);
    // What the last preparation found and made.
    CRunPreparation& Preparation() { return m_preparation; }
    const CRunPreparation& Preparation() const { return m_preparation; }

    // What the run works with; PrepareCopy fills it.
    const SRunSettings& Settings() const { return m_settings; }
    // Replaces the settings, for a caller (or a test) that sets them itself.
    void Configure(const SRunSettings& settings);
    // The settings to change before a run (verification, batch size,
    // places, the source's legacy character set).
    SRunSettings& EditSettings() { return m_settings; }

    // Copies one table with or without the three logs, as a run of its own
    // that shares nothing with other tables; Failed when a run is in progress.
    STableOutcome RunTable(const std::string& table, ELogging logging);

    CRunLogs& Logs() { return m_logs; }
    // The record of switched-off triggers; its path is set by the program.
    CTriggerJournal& Journal() { return m_journal; }
    // The record of the tables the last run into each destination failed;
    // its path is set by the program.
    CFailedTables& FailedTables() { return m_failedTables; }
    // The destination as the trigger journal names it.
    CTriggerJournal::SDatabase DestinationKey() const { return {m_settings.dest.database, m_settings.destIdentity}; }

    // Ends the table in progress at once: its running statements are
    // cancelled at the server, its rows rolled back and its triggers switched
    // on again; the run then ends. Safe to call from any thread.
    void RequestAbort() { m_abort.Raise(); }
    bool AbortRequested() const { return m_abort.Raised(); }
    // True while a run holds the engine.
    bool IsRunActive() const { return m_bRunActive.load(); }

  private:
    // A run holds the engine busy and works with its parts.
    friend class CRunSession;

    SRunSettings m_settings;
    CRunLogs m_logs;
    CTriggerJournal m_journal;
    CFailedTables m_failedTables;
    CRunPreparation m_preparation;
    CAbortSignal m_abort;
    std::atomic<bool> m_bRunActive{false};
};
