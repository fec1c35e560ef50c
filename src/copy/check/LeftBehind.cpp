#include "copy/check/LeftBehind.h"

#include "copy/run/RunSettings.h"
#include "copy/write/PreparedCommits.h"
#include "db/CFbConnection.h"
#include "db/PreparedTransactions.h"

#include <algorithm>

std::vector<std::string> TablesWithPreparedRows(const SRunSettings& settings)
{
    std::vector<std::string> tables;
    CFbConnection dest(settings.attempts);
    std::vector<SPreparedTransaction> prepared;
    std::string error;
    if (!dest.Connect(settings.dest.user, settings.dest.password, settings.dest.database) ||
        !ReadPreparedTransactions(dest, prepared, error))
        return tables;
    for (const SPreparedTransaction& transaction : prepared)
    {
        SPreparedMark mark;
        if (ParsePreparedMark(transaction.description, mark) &&
            std::find(tables.begin(), tables.end(), mark.table) == tables.end())
            tables.push_back(mark.table);
    }
    dest.Disconnect();
    return tables;
}

SLeftBehind FindLeftBehind(const SRunSettings& settings, const std::vector<CTriggerJournal::SEntry>& journalEntries)
{
    SLeftBehind left;
    // A running copy's own entries are its business, not what it left.
    for (const CTriggerJournal::SEntry& entry : journalEntries)
    {
        if (entry.owner.empty() || !CTriggerJournal::IsAlive(entry.owner))
            left.triggersLeftOff.push_back(entry);
    }
    left.rowsInLimbo = TablesWithPreparedRows(settings);
    return left;
}
