#include "copy/run/CAbortSignal.h"

#include "db/CFbCancel.h"
#include "db/CFbConnection.h"

#include <algorithm>

CAbortSignal::CAbortSignal() = default;
CAbortSignal::~CAbortSignal() = default;

void CAbortSignal::Raise()
{
    m_bRaised.store(true);
    const std::lock_guard lock(m_mutex);
    for (CFbCancel* cancel : m_registered)
        cancel->Cancel();
}

CAbortSignal::CRegistration::CRegistration(CAbortSignal& signal, std::initializer_list<CFbConnection*> connections)
    : m_signal(signal)
{
    const std::lock_guard lock(m_signal.m_mutex);
    for (CFbConnection* connection : connections)
    {
        if (!connection || !connection->IsConnected() || !connection->IsInProcess())
            continue;
        auto cancel = std::make_unique<CFbCancel>();
        cancel->SetTarget(*connection, CFbCancel::EScope::Anytime);
        m_signal.m_registered.push_back(cancel.get());
        m_cancels.push_back(std::move(cancel));
    }
}

CAbortSignal::CRegistration::~CRegistration()
{
    Release();
}

void CAbortSignal::CRegistration::Release()
{
    const std::lock_guard lock(m_signal.m_mutex);
    for (const auto& cancel : m_cancels)
        std::erase(m_signal.m_registered, cancel.get());
    m_cancels.clear();
}
