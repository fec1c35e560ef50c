#include "copy/CCopyRun.h"

#include "copy/CCopyEngine.h"

SCopyRunResult RunCopyJob(const CCopyJob& job, const std::atomic<bool>& stop, const SCopyRunEvents& events)
{
    SCopyRunResult result;
    if (!job.m_pEngine || !job.m_pTables || !job.m_pEngine->BeginRun())
        return result;
    result.started = true;
    CStringGrid& tables = *job.m_pTables;
    for (int i = 0; i < tables.RowCount(); ++i)
    {
        const std::string name = tables.GetCell(0, i);
        const int percent = 100 * i / tables.RowCount();
        if (events.tableStarted)
            events.tableStarted(i, tables.RowCount(), name, percent);
        const bool copied = job.m_pEngine->RunTable(name, job.m_nMode);
        ++result.tablesRun;
        if (!copied)
        {
            result.allCopied = false;
            ++result.failedTables;
        }
        if (events.tableFinished)
            events.tableFinished(i, name, copied);
        if (stop.load() && i + 1 < tables.RowCount())
        {
            result.stopped = true;
            break;
        }
    }
    job.m_pEngine->EndRun();
    return result;
}
