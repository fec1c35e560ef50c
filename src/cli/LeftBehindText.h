#pragma once

#include "copy/safety/CTriggerJournal.h"

#include <string>
#include <vector>

class CLanguageCatalog;

// What the window and the unattended run tell the user about what a run
// leaves behind, in the catalogue's language.

// One text per table whose triggers a run left off, naming them, with what
// to do: copy into destination again, or the statements that switch them on.
std::vector<std::string> TriggersLeftOffTexts(const std::vector<CTriggerJournal::SEntry>& entries,
                                              const std::string& destination, CLanguageCatalog& catalog);
// One text per copy of a destination that a killed run left behind.
std::vector<std::string> KilledRunCopyTexts(const std::vector<std::string>& copies, CLanguageCatalog& catalog);
