#include "db/CFbCancel.h"

#include "db/CFbConnection.h"
#include "db/FbStatus.h"

void CFbCancel::SetTarget(isc_db_handle* database, bool inProcess)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_pDatabase = database;
    m_bInProcess = inProcess;
}

void CFbCancel::SetTarget(CFbConnection& connection)
{
    SetTarget(&connection.m_hDatabase, connection.IsInProcess());
}

void CFbCancel::Reset()
{
    m_bRequested = false;
}

CFbCancel::CCall::CCall(CFbCancel* cancel) : m_pCancel(cancel)
{
    if (!m_pCancel)
        return;
    const std::lock_guard<std::mutex> lock(m_pCancel->m_mutex);
    m_pCancel->m_bInCall = true;
    m_pCancel->m_bSent = false;
    m_pCancel->m_callStart = std::chrono::steady_clock::now();
}

CFbCancel::CCall::~CCall()
{
    if (!m_pCancel)
        return;
    // Waits for a cancel being sent: the next request must not follow it
    // onto the wire at once.
    const std::lock_guard<std::mutex> lock(m_pCancel->m_mutex);
    m_pCancel->m_bInCall = false;
}

void CFbCancel::Cancel()
{
    m_bRequested = true;
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bInCall || m_bSent || m_pDatabase == nullptr || *m_pDatabase == 0)
        return;
    if (!m_bInProcess && std::chrono::steady_clock::now() - m_callStart < kRemoteDelay)
        return;
    CFbStatus status;
    // "Nothing to cancel" only means the call has just ended.
    fb_cancel_operation(status, m_pDatabase, fb_cancel_raise);
    m_bSent = true;
}
