#pragma once

#include <atomic>
#include <functional>
#include <thread>

// Takes SIGINT, SIGTERM, SIGHUP and SIGQUIT away from every thread of the
// process, the Firebird client library's among them: the library would
// otherwise answer them by shutting every attachment down at once, in the
// middle of a table, and a hang-up or quit would end the program before its
// triggers were on again and its report written. Ignores SIGPIPE: a reader
// of the output that went away fails the write, it does not end the copy.
// Call first in main, before any thread starts; threads inherit the mask.
void BlockInterruptSignals();

// Waits for those signals on a thread of its own while it lives, and calls
// onSignal there with the number of interrupts so far (1 for the first).
// A hang-up counts only as the first: a dropped session sends it more than
// once (the terminal, then the shell passing it on to its jobs), and nobody
// is left who could mean the second.
class CInterruptWatch
{
  public:
    explicit CInterruptWatch(std::function<void(int count)> onSignal);
    ~CInterruptWatch();
    CInterruptWatch(const CInterruptWatch&) = delete;
    CInterruptWatch& operator=(const CInterruptWatch&) = delete;

  private:
    std::function<void(int)> m_onSignal;
    std::atomic<bool> m_bEnding{false};
    std::thread m_thread;
};
