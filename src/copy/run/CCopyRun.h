#pragma once

#include "copy/run/CCopyJob.h"
#include "copy/run/CProgressMeter.h"
#include "copy/run/TableOutcome.h"
#include "copy/safety/CTriggerJournal.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

class CCopyEngine;

// What a copy run reports while it goes through its tables. Every callback
// is called on the thread that runs the copy. index is the table's row in the
// job's table grid; tables joined by foreign keys may run in another order.
struct SCopyRunEvents
{
    // Before a table: its index, the table count and the share of tables
    // finished before it, in percent.
    std::function<void(int index, int count, const std::string& table, int percent)> tableStarted;
    std::function<void(int index, const std::string& table, bool copied)> tableFinished;
    // Right after tableFinished: what the run did with the table (an
    // aborted table is Stopped, with its rows rolled back).
    std::function<void(int index, const STableOutcome& outcome)> tableEnded;
    // A table's rows are read back to be compared with the source.
    std::function<void(int index, const std::string& table)> tableVerifying;
    // The rows of the table in progress as they go through, at most once per
    // progressInterval and always once all of them have, and after each
    // table the run's share done. Only a run that reports them counts the
    // source rows (one COUNT(*) per table) unless the job brings the counts.
    std::function<void(int index, const SRowProgress& progress)> tableProgress;
    std::chrono::milliseconds progressInterval{250};
};

struct SCopyRunResult
{
    bool started = false; // false when the engine was already running a copy
    bool allCopied = true;
    int failedTables = 0; // an aborted table is not counted: the user ended it
    int tablesRun = 0;
    bool stopped = false;                      // a stop request ended the run before its last table
    std::string stoppedAfter;                  // the last table of a stopped run
    int notStarted = 0;                        // tables a stop or an abort left untouched
    std::vector<std::string> notStartedTables; // their names, in the order they would have run
    long long rowsCopied = 0;                  // rows of the tables copied successfully
    long long rowsRolledBack = 0;              // rows an abort took back (no failures)
    double seconds = 0;                        // from the start of the run to its end
    bool aborted = false;                      // an abort ended the table in progress and the run
    std::string abortedTable;
    // Tables that a copy into this destination, killed before it ended, had
    // begun to replace: found at the start of this run, and recorded as
    // failed (CCopyEngine::FailedTables) until a run copies them.
    std::vector<std::string> unfinishedByKilledRun;
    // Set when the run did not start because another copy that is still
    // running holds the destination: that copy's process ("pid:start@host").
    std::string heldBy;
    // Set when the run did not start because the trigger journal cannot be
    // written (its path): no trigger may go off that it does not record.
    std::string journalUnwritable;
    // Tables whose interrupted copy (rows in prepared transactions) this run
    // committed before it began, and did not copy again itself: unverified,
    // their generators not set. They count as failed and are recorded.
    std::vector<std::string> committedFromLimbo;
    // The first log file that lost entries (folder not writable, disk full);
    // empty when the logs are complete. The copy itself goes on regardless.
    std::string lostLogFile;
    // Every table of the job in list order with what the run did with it;
    // tables the run did not reach are Stopped. Empty when it did not start.
    std::vector<STableOutcome> tables;
    // Set when the tables that failed could not be recorded for a retry
    // (CCopyEngine::FailedTables): the record's path.
    std::string failedTablesNotRecorded;
    // The destination's triggers that this process switched off and could
    // not switch on again (a lost connection, a refused statement), as the
    // trigger journal still holds them when the run ends: the next copy
    // into the destination switches them on from there.
    std::vector<CTriggerJournal::SEntry> triggersLeftOff;
};

// Copies the job's tables in list order with the job's engine. A stop
// request is honoured between tables: the table in progress is completed.
// An abort (CCopyEngine::RequestAbort) ends the table in progress at once and
// the run with it. The engine runs one copy at a time; a second run at once,
// also one in another process into the same destination, is refused. The
// tables that failed or were skipped replace the engine's record of the
// destination's failed tables.
SCopyRunResult RunCopyJob(const CCopyJob& job, const std::atomic<bool>& stop, const SCopyRunEvents& events);

// Ends the run log of a run with its summary: the tables copied, failed and
// not started, the rows, the time and how the run ended; and, when a copy
// of the destination as it was before the run was kept (keptCopy), where.
void WriteRunSummary(CCopyEngine& engine, const SCopyRunResult& result, const std::string& keptCopy);
