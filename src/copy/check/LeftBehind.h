#pragma once

#include "copy/safety/CTriggerJournal.h"

#include <string>
#include <vector>

struct SRunSettings;

// What interrupted copies left in the destination: the check writes nothing,
// but these are part of what the destination is now.
struct SLeftBehind
{
    // Tables whose triggers a copy that no longer runs left switched off.
    std::vector<CTriggerJournal::SEntry> triggersLeftOff;
    // Tables whose rows wait in prepared transactions: every reader of them
    // fails until the next copy into the destination decides them.
    std::vector<std::string> rowsInLimbo;

    bool Empty() const { return triggersLeftOff.empty() && rowsInLimbo.empty(); }
};

// The tables whose rows an interrupted copy left in prepared transactions of
// the destination, whichever program left them; none when the destination
// cannot be read.
std::vector<std::string> TablesWithPreparedRows(const SRunSettings& settings);

// Reads what is left behind in the destination of settings; journalEntries
// are the trigger journal's entries of that destination.
SLeftBehind FindLeftBehind(const SRunSettings& settings, const std::vector<CTriggerJournal::SEntry>& journalEntries);
