#include "copy/run/CRunSession.h"

#include "copy/run/CCopyEngine.h"
#include "copy/run/CRunAttachments.h"
#include "copy/write/CTableCopy.h"
#include "core/FileHelpers.h"

#include <filesystem>

CRunSession::CRunSession(CCopyEngine& engine)
    : m_engine(engine), m_triggers(engine.m_settings, engine.m_logs, engine.m_journal)
{
    if (m_engine.m_bRunActive.exchange(true))
        return;
    m_bBegun = true;
    m_engine.m_abort.Reset();
    m_engine.m_logs.ResetLost();
}

CRunSession::~CRunSession()
{
    // The group's attachments and waiting copies go before the shared ones.
    m_group.reset();
    m_shared.reset();
    m_onRows = {};
    m_onVerifying = {};
    m_onWriters = {};
    if (m_bClaimed)
        m_engine.m_journal.Release(m_engine.DestinationKey());
    if (m_bBegun)
        m_engine.m_bRunActive.store(false);
}

bool CRunSession::ClaimDestination(std::string& heldBy)
{
    m_bClaimed = m_bBegun && m_engine.m_journal.Claim(m_engine.DestinationKey(), heldBy);
    return m_bClaimed;
}

void CRunSession::ShareAttachments()
{
    if (!m_shared)
        m_shared = std::make_unique<CRunAttachments>(m_engine.m_settings);
}

void CRunSession::SetListeners(std::function<void(long long rows, bool all)> onRows,
                               std::function<void(const std::string& table)> onVerifying,
                               std::function<void(int writers)> onWriters)
{
    m_onRows = std::move(onRows);
    m_onVerifying = std::move(onVerifying);
    m_onWriters = std::move(onWriters);
}

const SRunSettings& CRunSession::Settings() const
{
    return m_engine.m_settings;
}

CRunLogs& CRunSession::Logs()
{
    return m_engine.m_logs;
}

CAbortSignal& CRunSession::Abort()
{
    return m_engine.m_abort;
}

bool CRunSession::AbortRequested() const
{
    return m_engine.m_abort.Raised();
}

void CRunSession::NoteUnfinished(const std::vector<std::string>& tables)
{
    m_engine.m_failedTables.NoteUnfinished(m_engine.DestinationKey(), tables);
}

SGroupInProgress* CRunSession::GroupReplacing(const std::string& table) const
{
    return m_group ? m_group->Replacing(table) : nullptr;
}

std::set<std::string> CRunSession::DeferredColumnsOf(const std::string& table) const
{
    return m_group ? m_group->DeferredColumnsOf(table) : std::set<std::string>{};
}

void CRunSession::SetLogging(ELogging logging)
{
    m_engine.m_settings.logging = logging;
    m_engine.m_logs.SetLogging(logging);
}

STableOutcome CRunSession::CopyTable(const std::string& table, ELogging logging)
{
    SRunSettings& settings = m_engine.m_settings;
    SetLogging(logging);
    // The preparation made the run log to hold its name; a run without logs
    // leaves none behind.
    const std::string& runLog = settings.files.runLog;
    std::error_code noSize;
    if (logging == ELogging::Off && !runLog.empty() && std::filesystem::file_size(runLog, noSize) == 0 && !noSize)
        RemoveFile(runLog);

    m_bTableWaits = false;
    STableOutcome outcome;
    outcome.table = table;
    if (settings.source.database.empty() || settings.dest.database.empty())
    {
        outcome.status = ETableStatus::Failed;
        outcome.error = "no source or destination database";
        return outcome;
    }
    auto copy = std::make_unique<CTableCopy>(*this, table);
    outcome = copy->Run();
    if (copy->Waiting())
    {
        // Finished by the group's end, once its transaction is decided.
        m_bTableWaits = true;
        m_group->Wait(std::move(copy));
        return outcome;
    }
    // The table's entries reach the files as its copy goes.
    copy.reset();
    if (outcome.status == ETableStatus::Failed)
    {
        if (outcome.error.empty())
            outcome.error = m_engine.m_logs.FirstFailure();
        if (outcome.error.empty())
            outcome.error = "Copy failed";
        // The group's other tables lost their old rows in its transaction:
        // they go back with this one's.
        if (m_group)
            m_group->Break(table, outcome.error);
    }
    return outcome;
}

bool CRunSession::BeginGroup(const STableGroup& group, const std::vector<SDeferredColumns>& deferred)
{
    m_group = std::make_unique<CGroupCopy>(*this);
    return m_group->Begin(group, deferred);
}

CGroupCopy::SEnd CRunSession::EndGroup(const std::vector<SDeferredColumns>& deferred)
{
    return m_group ? m_group->End(deferred) : CGroupCopy::SEnd{};
}
