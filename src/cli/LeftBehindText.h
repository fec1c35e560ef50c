#pragma once

#include "copy/check/LeftBehind.h"

#include <string>
#include <vector>

class CLanguageCatalog;

// What the window and the unattended run tell the user about what a run
// leaves behind, in the catalogue's language.

// One text per table whose triggers interrupted copies left off, then one
// per table whose rows wait in prepared transactions, as a check shows them.
std::vector<std::string> LeftBehindTexts(const SLeftBehind& left, CLanguageCatalog& catalog);
// One text per copy of a destination that a killed run left behind.
std::vector<std::string> KilledRunCopyTexts(const std::vector<std::string>& copies, CLanguageCatalog& catalog);
