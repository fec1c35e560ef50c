// What the user is told at a run's end, and when the destination's copy is kept.
#include "copy/run/RunMessages.h"
#include "copy/run/CCopyRun.h"

#include <gtest/gtest.h>

namespace
{
// The messages' kinds with their arguments, one line each.
std::vector<std::string> Told(const std::vector<SRunMessage>& messages)
{
    std::vector<std::string> lines;
    for (const SRunMessage& message : messages)
    {
        std::string line = std::to_string(static_cast<int>(message.what)) + ":";
        for (const std::string& argument : message.arguments)
            line += " [" + argument + "]";
        lines.push_back(line);
    }
    return lines;
}

std::string Line(ERunMessage what, std::vector<std::string> arguments)
{
    return Told({SRunMessage{what, ERunMessageWeight::Note, std::move(arguments)}}).front();
}

// What the failed run of the cases below tells, with or without a kept copy.
std::vector<std::string> FailedRunTold(bool kept)
{
    std::vector<std::string> told{Line(ERunMessage::UnfinishedByKilledRun, {"D"}),
                                  Line(ERunMessage::TablesFailed, {"2"})};
    if (kept)
        told.push_back(Line(ERunMessage::DestinationCopyKept, {"/logs/dest.fdb"}));
    for (const std::string& line :
         {Line(ERunMessage::LogsLost, {"/logs/run.log"}), Line(ERunMessage::CommittedFromLimbo, {"E"}),
          Line(ERunMessage::TriggersLeftOff,
               {"F", "F_BI, f bu", "dest.fdb", "ALTER TRIGGER F_BI ACTIVE; ALTER TRIGGER \"f bu\" ACTIVE;"}),
          Line(ERunMessage::FailuresNotRecorded, {"/c/Failed.txt"})})
        told.push_back(line);
    return told;
}
} // namespace

TEST(RunMessages, EachEndOfARunTellsItsMessagesInOrder)
{
    SCopyRunResult started;
    started.started = true;
    struct SCase
    {
        const char* name;
        SCopyRunResult result;
        std::string kept;
        bool keeps;
        std::vector<std::string> told;
    };
    SCopyRunResult held;
    held.heldBy = "17:99@host";
    held.journalUnwritable = "/j/TriggerJournal.txt";
    SCopyRunResult stopped = started;
    stopped.stopped = true;
    stopped.stoppedAfter = "A";
    stopped.notStarted = 2;
    stopped.notStartedTables = {"B", "C"};
    SCopyRunResult failed = started;
    failed.allCopied = false;
    failed.failedTables = 2;
    failed.unfinishedByKilledRun = {"D"};
    failed.lostLogFile = "/logs/run.log";
    failed.committedFromLimbo = {"E"};
    failed.triggersLeftOff = {{"db.fdb", "F", {"F_BI", "f bu"}, "", ""}};
    failed.failedTablesNotRecorded = "/c/Failed.txt";
    SCopyRunResult aborted = started;
    aborted.allCopied = false;
    aborted.aborted = true;
    aborted.abortedTable = "G";
    const SCase cases[] = {
        {"copied", started, "", false, {}},
        {"held",
         held,
         "",
         false,
         {Line(ERunMessage::DestinationHeld, {"17:99@host"}),
          Line(ERunMessage::JournalUnwritable, {"/j/TriggerJournal.txt"})}},
        {"stopped",
         stopped,
         "",
         false,
         {Line(ERunMessage::Stopped, {"A", "2"}), Line(ERunMessage::NotStarted, {"B, C"})}},
        // An abort is the user's doing, not a failure; the copy is kept all the same.
        {"aborted",
         aborted,
         "/logs/dest.fdb",
         true,
         {Line(ERunMessage::Aborted, {"G"}), Line(ERunMessage::DestinationCopyKept, {"/logs/dest.fdb"})}},
        {"failed", failed, "/logs/dest.fdb", true, FailedRunTold(true)},
        // A failed run whose destination had no copy made says nothing of one.
        {"failed without a copy", failed, "", true, FailedRunTold(false)},
    };
    for (const SCase& c : cases)
    {
        EXPECT_EQ(KeepsDestinationCopy(c.result), c.keeps) << c.name;
        EXPECT_EQ(Told(RunEndMessages(c.result, "dest.fdb", c.kept)), c.told) << c.name;
    }
}

TEST(RunMessages, FailuresWeighMoreThanWhatTheUserDid)
{
    SCopyRunResult result;
    result.started = true;
    result.allCopied = false;
    result.failedTables = 1;
    result.stopped = true;
    result.stoppedAfter = "A";
    const std::vector<SRunMessage> told = RunEndMessages(result, "d", "/kept.fdb");
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(told[0].weight, ERunMessageWeight::Warning);
    EXPECT_EQ(told[1].weight, ERunMessageWeight::Failure);
    EXPECT_EQ(told[2].weight, ERunMessageWeight::Note);
}
