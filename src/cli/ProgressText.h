#pragma once

#include "copy/run/CProgressMeter.h"
#include "core/NumberText.h"

#include <string>

class CLanguageCatalog;

// "2:24" or "1:02:24": hours only when there are any.
std::string TimeLeftText(long long seconds);

// The texts of a progress line in one language, read once per run.
struct SProgressTexts
{
    explicit SProgressTexts(CLanguageCatalog& catalog);

    std::u16string rowsOf;
    std::u16string rows;
    std::u16string speed;
    std::u16string timeLeft;
    std::string thousands;
};

// The state line of a table in progress:
// "ORDERS: 1,240,000 of 10,000,000 rows, 61,000 rows/s, 2:24 left"; the
// total, speed and time left only where known.
std::string RowProgressText(const SProgressTexts& texts, const std::string& table, const SRowProgress& progress);
