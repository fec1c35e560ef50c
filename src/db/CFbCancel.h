#pragma once

#include <ibase.h>

class CFbConnection;

#include <atomic>
#include <chrono>
#include <mutex>

class CFbConnection;

// Stops the work of one attachment from another thread: a flag that the
// working thread reads between client calls, and the server's own cancel
// (fb_cancel_operation) for a call that is waiting for the server.
//
// Through a server the cancel travels on the attachment's own connection.
// The Firebird 3 client loses the answer to a request, and then waits for
// it forever, when a cancel reaches the wire while the working thread is
// still sending that request. So through a server a cancel is sent only to
// a call that has been waiting for a while (its request is long sent), and
// the working thread cannot start the next request while a cancel is being
// sent. An attachment in this process has no wire and is cancelled at once.
class CFbCancel
{
  public:
    // How long a call through a server must have been waiting before a
    // cancel is sent to it.
    static constexpr std::chrono::milliseconds kRemoteDelay{100};

    // When Cancel reaches the attachment.
    enum class EScope
    {
        CallsOnly, // only inside a CCall: work begun later is not touched
        Anytime,   // in process also a call no CCall marks (an idle attachment is not touched)
    };
    // The attachment whose calls Cancel stops; inProcess: no server between.
    void SetTarget(isc_db_handle* database, bool inProcess);
    // The same for an attachment of this library; it must stay attached
    // while it is the target.
    void SetTarget(CFbConnection& connection, EScope scope = EScope::CallsOnly);
    // Clears a stop request before new work begins.
    void Reset();

    // Working thread: a client call that a cancel may interrupt.
    class CCall
    {
      public:
        explicit CCall(CFbCancel* cancel);
        ~CCall();
        CCall(const CCall&) = delete;
        CCall& operator=(const CCall&) = delete;

      private:
        CFbCancel* m_pCancel;
    };

    // Any thread: asks the work to stop, and the server to stop the call in
    // progress. A call through a server that is too young to be cancelled
    // safely, or one that begins after this, is only reached by asking
    // again: the caller repeats Cancel while the work goes on.
    void Cancel();
    // True after Cancel until Reset.
    bool Requested() const { return m_bRequested.load(); }

  private:
    std::mutex m_mutex;
    isc_db_handle* m_pDatabase = nullptr;
    bool m_bInProcess = true;
    bool m_bAnytime = false;
    bool m_bInCall = false;
    bool m_bSent = false;
    std::chrono::steady_clock::time_point m_callStart;
    std::atomic<bool> m_bRequested{false};
};
