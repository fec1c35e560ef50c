// The prepared transactions that an interrupted copy left in the
// destination, ended at the start of the next run into it.
#include "copy/run/CCopyEngine.h"
#include "copy/run/CRunAttachments.h"
#include "copy/write/PreparedCommits.h"
#include "db/CFbConnection.h"

#include <algorithm>

bool CCopyEngine::ResolveInterruptedCommits(ELogging logging)
{
    m_settings.logging = logging;
    m_logs.SetLogging(logging);
    // The run's shared attachment serves its first table next, so the
    // check costs no attach of its own.
    CFbConnection own(m_settings.attempts);
    CFbConnection* dest = &own;
    if (m_sharedAttachments)
    {
        m_sharedAttachments->Follow(m_settings);
        dest = &m_sharedAttachments->Dest();
    }
    // A destination that cannot be reached is reported by the tables.
    if (!dest->Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database))
        return true;
    std::vector<SResolvedCommit> resolved;
    std::string error;
    const bool ended = ResolvePreparedCommits(*dest, PreparedOwnerGone, resolved, error);
    m_committedFromLimbo.clear();
    for (const SResolvedCommit& outcome : resolved)
    {
        if (outcome.committed &&
            std::find(m_committedFromLimbo.begin(), m_committedFromLimbo.end(), outcome.table) ==
                m_committedFromLimbo.end())
            m_committedFromLimbo.push_back(outcome.table);
        m_logs.SetTable(outcome.table);
        WriteLog(outcome.committed ? "Rows of an interrupted copy committed from prepared transactions"
                                   : "Rows of an interrupted copy rolled back from prepared transactions",
                 std::to_string(outcome.transactions) + " transaction(s)");
    }
    if (!ended)
        WriteLog("ERROR: Prepared transactions of an interrupted copy could not be ended", CRunLogs::OneLine(error));
    if (dest == &own)
        own.Disconnect();
    return ended;
}
