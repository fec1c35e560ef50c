#pragma once

#include <string>
#include <vector>

class CCopyEngine;
struct SCopyRunResult;

// What the user is told about how a run ended. The front ends word each one
// in their language and choose where it shows; which ones there are, in
// which order and with what, is decided here once.
enum class ERunMessage
{
    DestinationHeld,       // another copy holds the destination: its process
    JournalUnwritable,     // the trigger journal cannot be written: its path
    Stopped,               // a stop ended the run: the last table, the tables not started
    Aborted,               // an abort ended the run: the table it ended
    NotStarted,            // the tables a stop or an abort left untouched, joined
    UnfinishedByKilledRun, // tables a killed copy had begun to replace, joined
    TablesFailed,          // how many tables failed
    DestinationCopyKept,   // the copy of the destination from before the run: its path
    LogsLost,              // the first log file that lost entries
    CommittedFromLimbo,    // a table whose prepared rows were committed before the run
    TriggersLeftOff,       // a table, its triggers, the destination, the statements that switch them on
    FailuresNotRecorded,   // the record of failed tables that could not be written
};

enum class ERunMessageWeight
{
    Note,    // news: where something is
    Warning, // the user's own doing, or something left for a later run
    Failure, // the destination is not as a good run leaves it
};

struct SRunMessage
{
    ERunMessage what = ERunMessage::TablesFailed;
    ERunMessageWeight weight = ERunMessageWeight::Warning;
    std::vector<std::string> arguments; // in the order the language text takes them
};

// True when the copy of the destination made before the run is to be kept:
// after a run that started and did not copy every table it is the way back.
bool KeepsDestinationCopy(const SCopyRunResult& result);

// The messages of a run's end, in the order they are told. keptCopy is the
// path KeepDestinationCopy gave (empty when none was kept); destination is
// the destination database as the user named it.
std::vector<SRunMessage> RunEndMessages(const SCopyRunResult& result, const std::string& destination,
                                        const std::string& keptCopy);

// A run's end as both front ends meet it: the destination's copy kept under
// KeepsDestinationCopy, and the messages that tell of it.
struct SRunEnd
{
    std::string keptCopy;
    std::vector<SRunMessage> messages;
};
SRunEnd EndRun(CCopyEngine& engine, const SCopyRunResult& result);

// The ALTER TRIGGER statements that switch the triggers on again.
std::string TriggersOnStatements(const std::vector<std::string>& triggers);
