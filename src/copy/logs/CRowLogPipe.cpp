#include "copy/logs/CRowLogPipe.h"

CRowLogPipe::CRowLogPipe(WriteFn write) : m_write(std::move(write))
{
    m_thread = std::thread([this] { WriteBlocks(); });
}

CRowLogPipe::~CRowLogPipe()
{
    Close();
}

void CRowLogPipe::Send()
{
    bool any = false;
    for (const std::string& text : m_gathered)
        any = any || !text.empty();
    if (!any)
        return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_bHanded; });
    // The written block's buffers come back empty and are filled next.
    m_handed.swap(m_gathered);
    m_bHanded = true;
    m_changed.notify_all();
}

void CRowLogPipe::Close()
{
    if (!m_thread.joinable())
        return;
    Send();
    {
        std::lock_guard lock(m_mutex);
        m_bClosing = true;
        m_changed.notify_all();
    }
    m_thread.join();
}

void CRowLogPipe::WriteBlocks()
{
    std::unique_lock lock(m_mutex);
    for (;;)
    {
        m_changed.wait(lock, [&] { return m_bHanded || m_bClosing; });
        if (!m_bHanded)
            return;
        lock.unlock();
        for (size_t file = 0; file < FileCount; ++file)
        {
            if (!m_handed[file].empty())
                m_write(static_cast<EFile>(file), m_handed[file]);
            m_handed[file].clear();
        }
        lock.lock();
        m_bHanded = false;
        m_changed.notify_all();
    }
}
