// A relay for measuring the copy over a slow network on one machine:
// forwards a port of 127.0.0.1 to another one, each byte delayed by a
// one-way delay in each direction, until interrupted.
//
//   latency_relay TARGET_PORT DELAY_MS [LISTEN_PORT]
//
// Point a client at 127.0.0.1/LISTEN_PORT:path instead of the server's port;
// a round trip then costs twice DELAY_MS more.
#include "relay/CLatencyRelay.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "latency_relay TARGET_PORT DELAY_MS [LISTEN_PORT]\n");
        return 2;
    }
    const auto target = static_cast<std::uint16_t>(std::atoi(argv[1]));
    const auto delay = std::chrono::microseconds(static_cast<long>(std::atof(argv[2]) * 1000));
    const auto listenPort = static_cast<std::uint16_t>(argc > 3 ? std::atoi(argv[3]) : 0);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // The relay's threads leave the signals to this one.
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    CLatencyRelay relay;
    if (!relay.Start(target, delay, listenPort))
    {
        std::perror("latency_relay");
        return 1;
    }
    std::printf("127.0.0.1/%u forwards to 127.0.0.1/%u, %.3f ms each way\n", relay.Port(), target,
                static_cast<double>(delay.count()) / 1000);
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    relay.Stop();
    return 0;
}
