#pragma once

#include "copy/run/RunSettings.h"
#include "core/CStringGrid.h"

#include <vector>

class CCopyEngine;

// What one copy run needs: the tables in list order, the prepared engine,
// whether it writes its logs and whether it runs unattended.
struct CCopyJob
{
    CStringGrid* m_pTables = nullptr;
    CCopyEngine* m_pEngine = nullptr;
    ELogging m_eLogging = ELogging::On;
    bool m_bUnattended = false;
    // The source row count of each table of m_pTables, by row, when a check
    // has counted them already (-1 where not known); empty: the run counts.
    std::vector<long long> m_sourceRows;
};
