#pragma once

#include "core/CStringGrid.h"

class CCopyEngine;

// What one copy run needs: the tables in list order, the prepared engine,
// the run mode (1 with logs, 0 without) and whether it runs unattended.
struct CCopyJob
{
    CStringGrid* m_pTables = nullptr;
    CCopyEngine* m_pEngine = nullptr;
    int m_nMode = 1;
    bool m_bUnattended = false;
};
