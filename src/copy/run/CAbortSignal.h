#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class CFbCancel;
class CFbConnection;

// The abort of a run: a flag that every step reads between client calls,
// and the cancel of the calls that the attachments in progress are waiting
// for. Raise is safe from any thread.
class CAbortSignal
{
  public:
    CAbortSignal();
    ~CAbortSignal();
    CAbortSignal(const CAbortSignal&) = delete;
    CAbortSignal& operator=(const CAbortSignal&) = delete;

    // Clears a raised abort before a run begins.
    void Reset() { m_bRaised.store(false); }
    // Asks the run to end, and the server to stop what the registered
    // attachments are doing.
    void Raise();
    bool Raised() const { return m_bRaised.load(); }

    // Lets an abort cancel what the given attachments run while it lives.
    // Only attachments in this process are registered: through a server the
    // client library may lose the answer to a request that a cancel from
    // another thread overtakes, and then waits for it forever, so there the
    // abort is seen between batches.
    class CRegistration
    {
      public:
        CRegistration(CAbortSignal& signal, std::initializer_list<CFbConnection*> connections);
        ~CRegistration();
        CRegistration(const CRegistration&) = delete;
        CRegistration& operator=(const CRegistration&) = delete;
        // Gives the registration up before the attachments' work ends.
        void Release();

      private:
        CAbortSignal& m_signal;
        std::vector<std::unique_ptr<CFbCancel>> m_cancels;
    };

  private:
    std::atomic<bool> m_bRaised{false};
    std::mutex m_mutex;
    std::vector<CFbCancel*> m_registered;
};
