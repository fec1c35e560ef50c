#include "sqleditor/CSqlSession.h"

#include "db/CFbCancel.h"
#include "db/CFbConnection.h"
#include "db/CFbQuery.h"

#include <QMetaObject>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct CSqlSession::SCore
{
    std::unique_ptr<CFbConnection> connection;
    CFbCancel cancel;
    std::unique_ptr<CFbQuery> query;
    QObject* receiver = nullptr;

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<TJob> jobs;
    bool running = false;
    bool closed = false;
    std::thread thread;

    bool IsStopped() const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return !running;
    }

    void Deliver(std::function<void()> fn)
    {
        // Under the lock: once the session has closed, the receiver may be
        // gone and nothing more is queued to it.
        const std::lock_guard<std::mutex> lock(mutex);
        if (!closed)
            QMetaObject::invokeMethod(receiver, std::move(fn), Qt::QueuedConnection);
    }

    static void Work(std::shared_ptr<SCore> core)
    {
        SContext context{*core->connection, core->cancel, core->query,
                         [core](std::function<void()> fn) { core->Deliver(std::move(fn)); }};
        for (;;)
        {
            TJob job;
            {
                std::unique_lock<std::mutex> lock(core->mutex);
                core->wake.wait(lock, [&] { return core->closed || !core->jobs.empty(); });
                if (core->closed)
                    break;
                job = std::move(core->jobs.front());
                core->jobs.pop_front();
                core->running = true;
            }
            core->cancel.Reset();
            job(context);
            const std::lock_guard<std::mutex> lock(core->mutex);
            core->running = false;
        }
        // The statement goes before the attachment it belongs to; what the
        // editor's transaction did is committed, as at every detach.
        core->query.reset();
        core->connection->Disconnect();
    }
};

CSqlSession::CSqlSession(std::unique_ptr<CFbConnection> connection, QObject* receiver)
    : m_pCore(std::make_shared<SCore>())
{
    m_pCore->connection = std::move(connection);
    m_pCore->cancel.SetTarget(*m_pCore->connection);
    m_pCore->receiver = receiver;
    m_pCore->thread = std::thread(&SCore::Work, m_pCore);
}

CSqlSession::~CSqlSession()
{
    bool running = false;
    {
        const std::lock_guard<std::mutex> lock(m_pCore->mutex);
        m_pCore->closed = true;
        m_pCore->jobs.clear();
        running = m_pCore->running;
    }
    m_pCore->wake.notify_all();
    if (running)
    {
        // The job ends at its next step or when the server answers; the
        // thread keeps what it needs and releases it then. A call through a
        // server is cancelled only once its request is on its way, so the
        // cancel is repeated for a while.
        m_pCore->thread.detach();
        std::thread([core = m_pCore] {
            for (int i = 0; i < 200 && !core->IsStopped(); ++i)
            {
                core->cancel.Cancel();
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }).detach();
        return;
    }
    m_pCore->thread.join();
}

void CSqlSession::Post(TJob job)
{
    {
        const std::lock_guard<std::mutex> lock(m_pCore->mutex);
        m_pCore->jobs.push_back(std::move(job));
    }
    m_pCore->wake.notify_all();
}

void CSqlSession::Cancel()
{
    m_pCore->cancel.Cancel();
}

bool CSqlSession::IsIdle() const
{
    const std::lock_guard<std::mutex> lock(m_pCore->mutex);
    return !m_pCore->running && m_pCore->jobs.empty();
}
