#pragma once

#include "config/CAppSettings.h"
#include "copy/run/CCopyEngine.h"
#include "copy/run/CCopyRun.h"
#include "core/CStringGrid.h"

#include <iosfwd>
#include <string>
#include <vector>

class IFontSettings;

// The file in the data folder that records triggers a copy switched off.
inline constexpr const char* TriggerJournalFileName = "TriggerJournal.txt";

// Exit codes of an unattended run.
enum EUnattendedExit
{
    ExitAllCopied = 0,
    ExitTableFailed = 1,
    ExitNotStarted = 2,
};

// Copies every table present in both databases without any window, as the
// command line with six arguments asks: source database, user, password,
// destination database, user, password. Prints one result line per table to
// out and the paths of the three logs at the end; every message that a
// window would show goes to err. With progressLine (err is a terminal) one
// line on err shows the table in progress, rewritten in place. Returns an
// EUnattendedExit code.
int RunUnattended(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& out,
                  std::ostream& err, bool progressLine = false);
// Reports what a copy of every table present in both databases would do
// (command line with --check) and writes nothing anywhere: exit code 0 when
// no table would fail, 1 when one would, 2 when the check could not run.
int RunCheck(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& out,
             std::ostream& err);
// Compares the rows of every table present in both databases (command line
// with --compare) and writes nothing: 0 identical, 1 differences, 2 when the
// comparison could not run.
int RunCompare(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& out,
               std::ostream& err);

class CCopyEngine;

// Switches on the triggers that an interrupted copy left off in the engine's
// destination, and says so (or that it failed) on err.
void RestoreLeftoverTriggers(CCopyEngine& engine, std::ostream& err);

// Asks a running unattended copy to stop after the table in progress.
void RequestUnattendedStop();

// What an unattended run has prepared: the settings it read, the engine with
// both databases attached once and the logs and backups made, and the tables
// present in both databases in name order.
struct SUnattendedRun
{
    CAppSettings settings;
    CLanguageCatalog catalog;
    CCopyEngine engine;
    CStringGrid tables;
    // Set when the preparation found nothing to do (--retry-failed with no
    // failed table recorded): not started, yet no failure.
    bool nothingToDo = false;
};

// The file in the data folder that records the tables the last run into
// each destination failed.
inline constexpr const char* FailedTablesFileName = "FailedTables.txt";

// The preparation shared by the run with and without a window: the
// settings, both databases attached, the tables chosen (--tables, --exclude,
// --retry-failed; a name that fits no table stops the run before anything
// is written). font, when given, receives the stored font before the
// settings are read. False when the run cannot start, the reason said on
// err, or when there is nothing to do (run.nothingToDo).
// With forCheck only reads: no trigger restored, no folder, log or backup made.
bool PrepareUnattendedRun(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& err,
                          SUnattendedRun& run, IFontSettings* font = nullptr, bool forCheck = false);
// The job that copies the prepared tables unattended.
CCopyJob UnattendedJob(SUnattendedRun& run);
// The result line of one table, in the run's language.
std::string UnattendedResultLine(SUnattendedRun& run, const std::string& table, bool copied);
// Prints the log paths (when logs are written) and the failure summary, and
// gives the EUnattendedExit code of the run.
int FinishUnattendedRun(SUnattendedRun& run, const SCopyRunResult& result, std::ostream& out, std::ostream& err);
