#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A TCP relay on the loopback interface that stands for a network between
// a client and a server: it listens on 127.0.0.1, forwards every connection
// to a port of 127.0.0.1 and hands each byte on only once the one-way delay
// has passed since it arrived, in each direction. Bytes keep their order;
// the delay is not serialised: bytes that arrive together leave together,
// and bytes that arrive while earlier ones wait are on their way meanwhile,
// as on a wire that is long but wide.
class CLatencyRelay
{
  public:
    CLatencyRelay() = default;
    ~CLatencyRelay();
    CLatencyRelay(const CLatencyRelay&) = delete;
    CLatencyRelay& operator=(const CLatencyRelay&) = delete;

    // Starts listening (listenPort 0 takes a free port) and forwarding to
    // targetPort; false when the port cannot be opened.
    bool Start(std::uint16_t targetPort, std::chrono::microseconds oneWayDelay, std::uint16_t listenPort = 0);
    // The port clients connect to.
    std::uint16_t Port() const { return m_nPort; }
    // Connections accepted so far.
    int Connections() const { return m_nConnections.load(); }
    // Breaks the connection accepted last, as a network that fails: both
    // ends see it closed at once. False when there is none.
    bool CutNewest();
    // Closes the listening port and every forwarded connection, and waits
    // for the relay's threads.
    void Stop();

  private:
    struct SLink;
    void Accept();
    // Moves bytes from one socket to the other, each after the delay.
    void Pump(std::shared_ptr<SLink> link, int from, int to);

    std::chrono::microseconds m_delay{0};
    std::uint16_t m_nTargetPort = 0;
    std::uint16_t m_nPort = 0;
    int m_nListen = -1;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nConnections{0};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_pumps;
    std::weak_ptr<SLink> m_newest;
};
