#include "cli/InterruptSignals.h"

#include <csignal>
#include <pthread.h>

namespace
{
sigset_t InterruptSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGQUIT);
    return set;
}
} // namespace

void BlockInterruptSignals()
{
    const sigset_t set = InterruptSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

CInterruptWatch::CInterruptWatch(std::function<void(int count)> onSignal) : m_onSignal(std::move(onSignal))
{
    m_thread = std::thread([this] {
        const sigset_t set = InterruptSet();
        int count = 0;
        for (;;)
        {
            int signal = 0;
            if (sigwait(&set, &signal) != 0 || m_bEnding.load())
                return;
            if (signal == SIGHUP && count > 0)
                continue;
            m_onSignal(++count);
        }
    });
}

CInterruptWatch::~CInterruptWatch()
{
    m_bEnding.store(true);
    // The signal goes to the waiting thread alone, which then ends.
    pthread_kill(m_thread.native_handle(), SIGTERM);
    m_thread.join();
}
