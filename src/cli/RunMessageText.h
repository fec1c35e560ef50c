#pragma once

#include "copy/run/RunMessages.h"

#include <string>

class CLanguageCatalog;

// A message of a run's end in the catalogue's language.
std::string RunMessageText(const SRunMessage& message, CLanguageCatalog& catalog);
