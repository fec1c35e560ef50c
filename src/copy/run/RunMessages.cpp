#include "copy/run/RunMessages.h"

#include "copy/run/CCopyEngine.h"
#include "copy/run/CCopyRun.h"
#include "db/SqlText.h"

namespace
{
void Add(std::vector<SRunMessage>& messages, ERunMessage what, ERunMessageWeight weight,
         std::vector<std::string> arguments)
{
    messages.push_back(SRunMessage{what, weight, std::move(arguments)});
}

// A run that never started says only why.
std::vector<SRunMessage> NotStartedMessages(const SCopyRunResult& result)
{
    std::vector<SRunMessage> messages;
    if (!result.heldBy.empty())
        Add(messages, ERunMessage::DestinationHeld, ERunMessageWeight::Failure, {result.heldBy});
    if (!result.journalUnwritable.empty())
        Add(messages, ERunMessage::JournalUnwritable, ERunMessageWeight::Failure, {result.journalUnwritable});
    return messages;
}
} // namespace

bool KeepsDestinationCopy(const SCopyRunResult& result)
{
    return result.started && !result.allCopied;
}

std::string TriggersOnStatements(const std::vector<std::string>& triggers)
{
    std::string statements;
    for (const std::string& trigger : triggers)
        statements += (statements.empty() ? "" : " ") + ("ALTER TRIGGER " + SqlIdentifier(trigger) + " ACTIVE;");
    return statements;
}

std::vector<SRunMessage> RunEndMessages(const SCopyRunResult& result, const std::string& destination,
                                        const std::string& keptCopy)
{
    if (!result.started)
        return NotStartedMessages(result);
    using W = ERunMessageWeight;
    std::vector<SRunMessage> messages;
    if (result.stopped)
        Add(messages, ERunMessage::Stopped, W::Warning, {result.stoppedAfter, std::to_string(result.notStarted)});
    if (result.aborted)
        Add(messages, ERunMessage::Aborted, W::Warning, {result.abortedTable});
    if (!result.notStartedTables.empty())
        Add(messages, ERunMessage::NotStarted, W::Warning, {Joined(result.notStartedTables, ", ")});
    if (!result.unfinishedByKilledRun.empty())
        Add(messages, ERunMessage::UnfinishedByKilledRun, W::Warning, {Joined(result.unfinishedByKilledRun, ", ")});
    // An abort alone is no failure to report.
    if (!result.allCopied && result.failedTables > 0)
        Add(messages, ERunMessage::TablesFailed, W::Failure, {std::to_string(result.failedTables)});
    // Where the way back is: news for the user, not a failure of its own.
    if (!keptCopy.empty())
        Add(messages, ERunMessage::DestinationCopyKept, W::Note, {keptCopy});
    // The rows arrived, but the record of them did not.
    if (!result.lostLogFile.empty())
        Add(messages, ERunMessage::LogsLost, W::Failure, {result.lostLogFile});
    for (const std::string& table : result.committedFromLimbo)
        Add(messages, ERunMessage::CommittedFromLimbo, W::Failure, {table});
    // Named with what to do: the destination does not work as before.
    for (const CTriggerJournal::SEntry& entry : result.triggersLeftOff)
        Add(messages, ERunMessage::TriggersLeftOff, W::Failure,
            {entry.table, Joined(entry.triggers, ", "), destination, TriggersOnStatements(entry.triggers)});
    if (!result.failedTablesNotRecorded.empty())
        Add(messages, ERunMessage::FailuresNotRecorded, W::Failure, {result.failedTablesNotRecorded});
    return messages;
}

SRunEnd EndRun(CCopyEngine& engine, const SCopyRunResult& result)
{
    SRunEnd end;
    if (KeepsDestinationCopy(result))
        end.keptCopy = engine.Preparation().KeepDestinationCopy();
    end.messages = RunEndMessages(result, engine.Settings().dest.database, end.keptCopy);
    return end;
}
