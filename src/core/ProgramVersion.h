#pragma once

#include "RowmoverVersion.h"

// The program's version, as the top-level CMakeLists.txt sets it once: the
// text the program shows and records ("Version 1.600 (09.01.2019)"), and its
// number alone ("1.600"), which the update check sends.
inline constexpr const char ProgramVersionText[] = ROWMOVER_VERSION_TEXT;
inline constexpr const char ProgramVersionNumber[] = ROWMOVER_VERSION;
