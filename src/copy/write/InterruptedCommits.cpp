// The prepared transactions that an interrupted copy left in the
// destination, ended at the start of the next run into it.
#include "copy/write/InterruptedCommits.h"

#include "copy/logs/CRunLogs.h"
#include "copy/run/CRunAttachments.h"
#include "copy/write/PreparedCommits.h"
#include "db/CFbConnection.h"

#include <algorithm>

std::vector<std::string> ResolveInterruptedCommits(const SRunSettings& settings, CRunLogs& logs,
                                                   CRunAttachments* shared, bool& ended)
{
    ended = true;
    // The run's shared attachment serves its first table next, so the
    // check costs no attach of its own.
    CFbConnection own(settings.attempts);
    CFbConnection* dest = &own;
    if (shared)
    {
        shared->Follow(settings);
        dest = &shared->Dest();
    }
    // A destination that cannot be reached is reported by the tables.
    if (!dest->Connect(settings.dest.user, settings.dest.password, settings.dest.database))
        return {};
    std::vector<SResolvedCommit> resolved;
    std::string error;
    ended = ResolvePreparedCommits(*dest, PreparedOwnerGone, resolved, error);
    std::vector<std::string> committed;
    for (const SResolvedCommit& outcome : resolved)
    {
        if (outcome.committed && std::find(committed.begin(), committed.end(), outcome.table) == committed.end())
            committed.push_back(outcome.table);
        logs.SetTable(outcome.table);
        logs.WriteLog(outcome.committed ? "Rows of an interrupted copy committed from prepared transactions"
                                        : "Rows of an interrupted copy rolled back from prepared transactions",
                      std::to_string(outcome.transactions) + " transaction(s)");
    }
    if (!ended)
        logs.WriteLog("ERROR: Prepared transactions of an interrupted copy could not be ended",
                      CRunLogs::OneLine(error));
    if (dest == &own)
        own.Disconnect();
    return committed;
}
