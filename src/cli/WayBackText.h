#pragma once

#include <string>
#include <vector>

class CCopyEngine;
class CLanguageCatalog;

// What the window and the unattended run tell the user about a run's copies
// of its databases and the room they take, in the catalogue's language.

// The file systems that lack room for the run, with the figures; one line each.
std::string SpaceShortageText(const CCopyEngine& engine, CLanguageCatalog& catalog);
// After a preparation: backup locks of killed runs ended, copies not made by
// choice, copies that failed (with the reason), copies the server made.
std::vector<std::string> PreparedCopiesTexts(const CCopyEngine& engine, bool makeBackup, CLanguageCatalog& catalog);
// What the run's files take on disk.
std::string DiskUseText(const CCopyEngine& engine, CLanguageCatalog& catalog);
