#include "copy/run/CCopyEngine.h"

#include "copy/run/CRunAttachments.h"
#include "copy/write/CTableCopy.h"
#include "copy/write/GroupInProgress.h"
#include "core/FileHelpers.h"
#include "db/CFbConnection.h"
#include "db/FbHandles.h"
#include "db/SchemaQueries.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ibase.h>

CCopyEngine::CCopyEngine() = default;

CCopyEngine::~CCopyEngine()
{
    m_group.reset();
    m_sharedAttachments.reset();
    if (!m_settings.files.destinationCopy.empty())
        RemoveFile(m_settings.files.destinationCopy);
}

void CCopyEngine::ShareAttachments(bool share)
{
    if (share && !m_sharedAttachments)
        m_sharedAttachments = std::make_unique<CRunAttachments>(m_settings);
    else if (!share)
        m_sharedAttachments.reset();
}

void CCopyEngine::Init(const std::string& defUser, const std::string& defPass, int attempts)
{
    m_sDefUser = defUser;
    m_sDefPass = defPass;
    m_settings.attempts = attempts;
}

void CCopyEngine::Configure(const SRunSettings& settings)
{
    m_settings = settings;
    m_logs.SetFiles(settings.files);
    m_logs.SetLogging(settings.logging);
}

bool CCopyEngine::BeginRun()
{
    if (m_bRunActive.exchange(true))
        return false;
    m_bAbort.store(false);
    m_logs.ResetLost();
    return true;
}

bool CCopyEngine::RunTable(const std::string& table, ELogging logging)
{
    m_settings.logging = logging;
    m_logs.SetLogging(logging);
    // The preparation made the run log to hold its name; a run without logs
    // leaves none behind.
    const std::string& runLog = m_settings.files.runLog;
    std::error_code noSize;
    if (logging == ELogging::Off && !runLog.empty() && std::filesystem::file_size(runLog, noSize) == 0 && !noSize)
        RemoveFile(runLog);
    return CopyTable(table);
}

bool CCopyEngine::CopyTable(const std::string& table)
{
    m_bTableWaits = false;
    m_outcome = STableOutcome{};
    m_outcome.table = table;
    if (m_settings.source.database.empty() || m_settings.dest.database.empty())
    {
        m_outcome.status = ETableStatus::Failed;
        m_outcome.error = "no source or destination database";
        return false;
    }
    auto copy = std::make_unique<CTableCopy>(*this, table);
    const bool copied = copy->Run();
    if (copy->Waiting())
    {
        // Finished by the group's end, once its transaction is decided.
        m_bTableWaits = true;
        m_group->waiting.push_back(std::move(copy));
        return true;
    }
    copy.reset();
    if (!copied && m_outcome.error.empty())
        m_outcome.error = m_logs.FirstFailure();
    if (!copied && m_outcome.error.empty())
        m_outcome.error = "Copy failed";
    if (m_outcome.status != ETableStatus::EmptySource)
        m_outcome.status = copied ? ETableStatus::Copied : ETableStatus::Failed;
    // The group's other tables lost their old rows in its transaction: they
    // go back with this one's.
    if (!copied && m_group && m_group->Replaces(table) && m_group->brokenTable.empty())
    {
        m_group->brokenTable = table;
        m_group->brokenReason = m_outcome.error;
    }
    return copied;
}

void CCopyEngine::GetLogFiles(std::string& log, std::string& sql, std::string& text) const
{
    log = m_settings.files.runLog;
    sql = m_settings.files.sqlLog;
    text = m_settings.files.textLog;
}

std::set<std::string> CCopyEngine::DeferredColumnsOf(const std::string& table) const
{
    if (!m_group)
        return {};
    const auto found = m_group->deferredColumns.find(table);
    return found != m_group->deferredColumns.end() ? found->second : std::set<std::string>{};
}

SGroupInProgress* CCopyEngine::GroupReplacing(const std::string& table) const
{
    return m_group && m_group->Replaces(table) ? m_group.get() : nullptr;
}

bool CCopyEngine::GroupBroken() const
{
    return m_group && !m_group->brokenTable.empty();
}

void CCopyEngine::NoteUnfinished(const std::vector<std::string>& tables)
{
    m_failedTables.NoteUnfinished(DestinationKey(), tables);
}

void CCopyEngine::RequestAbort()
{
    m_bAbort.store(true);
    std::lock_guard lock(m_cancelMutex);
    for (std::uintptr_t value : m_cancelable)
    {
        auto handle = static_cast<isc_db_handle>(value);
        ISC_STATUS_ARRAY status{};
        fb_cancel_operation(status, &handle, fb_cancel_raise);
    }
}

void CCopyEngine::RegisterCancelable(CFbConnection& connection, std::vector<std::uintptr_t>& handles)
{
    // Through a server the client library may lose the answer to a request
    // that a cancel from another thread overtakes, and then waits for it
    // forever: there the abort is seen between batches.
    if (!connection.IsConnected() || !connection.IsInProcess())
        return;
    std::lock_guard lock(m_cancelMutex);
    handles.push_back(static_cast<std::uintptr_t>(*CFbHandles::Database(connection)));
    m_cancelable.push_back(handles.back());
}

void CCopyEngine::UnregisterCancelable(std::vector<std::uintptr_t>& handles)
{
    std::lock_guard lock(m_cancelMutex);
    for (std::uintptr_t handle : handles)
    {
        const auto found = std::find(m_cancelable.begin(), m_cancelable.end(), handle);
        if (found != m_cancelable.end())
            m_cancelable.erase(found);
    }
    handles.clear();
}

bool CCopyEngine::RestoreTriggersAfterAbort(const std::string& table)
{
    CFbConnection dest(m_settings.attempts);
    if (!dest.Connect(m_settings.dest.user, m_settings.dest.password, m_settings.dest.database))
    {
        WriteLog("ERROR: Cannot open destination database", m_settings.dest.database);
        return false;
    }
    const bool restored = SetTriggersActive(dest, table, true);
    return dest.Disconnect() && restored;
}

bool CCopyEngine::CommitRows(CFbConnection& dest)
{
    if (dest.Commit())
        return true;
    const std::string reason = dest.LastErrorMessage();
    dest.Rollback();
    WriteLog("ERROR: Failed to commit the copied rows", CRunLogs::OneLine(reason));
    WriteSqlLog("COMMIT;");
    m_logs.WriteSqlFailure(reason);
    return false;
}

std::vector<long long> CCopyEngine::CountSourceRows(const std::vector<std::string>& tables)
{
    std::vector<long long> counts(tables.size(), -1);
    CFbConnection source(m_settings.attempts);
    if (!source.Connect(m_settings.source.user, m_settings.source.password, m_settings.source.database))
        return counts;
    // A count of a big table takes the server a while: an abort cancels it.
    std::vector<std::uintptr_t> cancelable;
    RegisterCancelable(source, cancelable);
    std::vector<std::string> names;
    GetUserTables(source, names);
    const auto folded = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (size_t i = 0; i < tables.size() && !AbortRequested(); ++i)
    {
        // The source's own spelling of a name the list matched regardless of case.
        std::string name = tables[i];
        if (std::find(names.begin(), names.end(), name) == names.end())
        {
            const auto same = std::find_if(names.begin(), names.end(), [&](const std::string& candidate) {
                return folded(candidate) == folded(name);
            });
            if (same != names.end())
                name = *same;
        }
        CStringGrid rows;
        int failure = 0;
        source.Execute("SELECT COUNT(*) FROM " + SqlIdentifier(name), failure, &rows);
        if (failure == 0 && rows.RowCount() == 1)
            counts[i] = std::stoll("0" + rows.GetCell(0, 0));
    }
    UnregisterCancelable(cancelable);
    source.Disconnect();
    return counts;
}

void CCopyEngine::ReportStopped(const std::string& lastTable, const std::vector<std::string>& notStarted)
{
    std::string list;
    for (const std::string& table : notStarted)
        list += (list.empty() ? "" : ", ") + table;
    m_logs.SetTable(lastTable);
    WriteLog("Copy stopped by the user after this table; not started: " + std::to_string(notStarted.size()) +
                 " table(s)",
             list);
}

void CCopyEngine::ReportAborted(const std::string& table, const std::vector<std::string>& notStarted)
{
    if (notStarted.empty())
        return;
    std::string list;
    for (const std::string& name : notStarted)
        list += (list.empty() ? "" : ", ") + name;
    m_logs.SetTable(table);
    WriteLog("Copy aborted by the user in this table; not started: " + std::to_string(notStarted.size()) + " table(s)",
             list);
}

void CCopyEngine::ReportUnfinished(const std::vector<std::string>& tables, ELogging logging)
{
    m_logs.SetLogging(logging);
    for (const std::string& table : tables)
    {
        m_logs.SetTable(table);
        WriteLog("WARNING: A copy into this database ended before it finished this table; it may hold other rows "
                 "than the source until it is copied again",
                 "");
    }
}
