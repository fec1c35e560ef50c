#pragma once

#include <atomic>
#include <functional>
#include <thread>

// Takes SIGINT and SIGTERM away from every thread of the process, the
// Firebird client library's among them: the library would otherwise answer
// them by shutting every attachment down at once, in the middle of a table.
// Call first in main, before any thread starts; threads inherit the mask.
void BlockInterruptSignals();

// Waits for SIGINT and SIGTERM on a thread of its own while it lives, and
// calls onSignal there with the number of signals so far (1 for the first).
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
