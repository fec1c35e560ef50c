#pragma once

#include <functional>
#include <memory>

class CFbCancel;
class CFbConnection;
class CFbQuery;
class QObject;

// The SQL editor's database work on a thread of its own. The attachment
// lives on that thread: every job runs there, one after the other, so the
// window never waits for the server. Results go back through Deliver, which
// queues them to the receiver on the window's thread. Cancel asks the
// running job to stop (see CFbCancel). Dropping the session never waits for
// a running job: the thread finishes it on its own, then detaches.
class CSqlSession
{
  public:
    // What a job works with, on the session's thread.
    struct SContext
    {
        CFbConnection& connection;
        CFbCancel& cancel;
        // The statement whose rows the window pages through, if any.
        std::unique_ptr<CFbQuery>& query;
        // Queues fn to run on the receiver's thread (dropped once the
        // session or the receiver is gone).
        std::function<void(std::function<void()> fn)> deliver;
    };
    using TJob = std::function<void(SContext& context)>;

    // connection: attached; receiver: where Deliver sends results.
    CSqlSession(std::unique_ptr<CFbConnection> connection, QObject* receiver);
    ~CSqlSession();
    CSqlSession(const CSqlSession&) = delete;
    CSqlSession& operator=(const CSqlSession&) = delete;

    // Runs job on the session's thread after those posted before.
    void Post(TJob job);
    // Asks the running job to stop; call again while it goes on (a call
    // through a server is only cancelled once its request is on its way).
    void Cancel();
    // True while no job runs or waits.
    bool IsIdle() const;

  private:
    struct SCore;
    std::shared_ptr<SCore> m_pCore;
};
