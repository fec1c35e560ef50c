#include "CLatencyRelay.h"

#include <arpa/inet.h>
#include <cerrno>
#include <deque>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

// How often a waiting thread looks whether the relay is stopping.
constexpr std::chrono::milliseconds StopCheck{50};
constexpr size_t ReadBytes = 256 * 1024;

void NoDelay(int fd)
{
    // Without it the kernel holds small writes back for more: a delay that
    // is not the one asked for.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool SendAll(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

timespec Timeout(Clock::duration wait)
{
    if (wait < Clock::duration::zero())
        wait = Clock::duration::zero();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    return {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}
} // namespace

// Both sockets of one forwarded connection; the last of its two pumps to
// finish closes them.
struct CLatencyRelay::SLink
{
    int client = -1;
    int server = -1;
    std::atomic<int> running{2};

    ~SLink()
    {
        close(client);
        close(server);
    }
};

CLatencyRelay::~CLatencyRelay()
{
    Stop();
}

bool CLatencyRelay::Start(std::uint16_t targetPort, std::chrono::microseconds oneWayDelay, std::uint16_t listenPort)
{
    m_delay = oneWayDelay;
    m_nTargetPort = targetPort;
    m_nListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_nListen < 0)
        return false;
    const int on = 1;
    setsockopt(m_nListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(listenPort);
    socklen_t length = sizeof address;
    if (bind(m_nListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(m_nListen, 64) != 0 ||
        getsockname(m_nListen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        close(m_nListen);
        m_nListen = -1;
        return false;
    }
    m_nPort = ntohs(address.sin_port);
    m_bStop.store(false);
    m_acceptor = std::thread([this] { Accept(); });
    return true;
}

void CLatencyRelay::Stop()
{
    m_bStop.store(true);
    if (m_acceptor.joinable())
        m_acceptor.join();
    std::vector<std::thread> pumps;
    {
        std::lock_guard lock(m_mutex);
        pumps.swap(m_pumps);
    }
    for (std::thread& pump : pumps)
        pump.join();
    if (m_nListen >= 0)
        close(m_nListen);
    m_nListen = -1;
}

bool CLatencyRelay::CutNewest()
{
    std::shared_ptr<SLink> link;
    {
        std::lock_guard lock(m_mutex);
        link = m_newest.lock();
    }
    if (!link)
        return false;
    shutdown(link->client, SHUT_RDWR);
    shutdown(link->server, SHUT_RDWR);
    return true;
}

void CLatencyRelay::Accept()
{
    while (!m_bStop.load())
    {
        pollfd waiting{m_nListen, POLLIN, 0};
        const timespec timeout = Timeout(StopCheck);
        if (ppoll(&waiting, 1, &timeout, nullptr) <= 0)
            continue;
        const int client = accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in target = Loopback(m_nTargetPort);
        if (server < 0 || connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
        {
            // The client sees the refusal as a closed connection.
            close(client);
            if (server >= 0)
                close(server);
            continue;
        }
        NoDelay(client);
        NoDelay(server);
        auto link = std::make_shared<SLink>();
        link->client = client;
        link->server = server;
        ++m_nConnections;
        std::lock_guard lock(m_mutex);
        m_newest = link;
        m_pumps.emplace_back([this, link] { Pump(link, link->client, link->server); });
        m_pumps.emplace_back([this, link] { Pump(link, link->server, link->client); });
    }
}

void CLatencyRelay::Pump(std::shared_ptr<SLink> link, int from, int to)
{
    struct SChunk
    {
        Clock::time_point due;
        std::string bytes;
    };
    std::deque<SChunk> onTheWay;
    std::string buffer(ReadBytes, '\0');
    bool ended = false; // the sender closed its side, or the connection broke
    bool broken = false;
    while (!m_bStop.load() && !broken && (!ended || !onTheWay.empty()))
    {
        const Clock::duration wait = onTheWay.empty()
                                         ? Clock::duration(StopCheck)
                                         : std::min<Clock::duration>(onTheWay.front().due - Clock::now(), StopCheck);
        pollfd waiting{ended ? -1 : from, POLLIN, 0};
        const timespec timeout = Timeout(wait);
        const int ready = ppoll(&waiting, 1, &timeout, nullptr);
        if (ready > 0 && (waiting.revents & (POLLIN | POLLHUP | POLLERR)))
        {
            // Everything that has arrived by now leaves together.
            const ssize_t got = recv(from, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (got > 0)
                onTheWay.push_back({Clock::now() + m_delay, buffer.substr(0, static_cast<size_t>(got))});
            else if (got == 0 || (errno != EAGAIN && errno != EINTR))
                ended = true;
        }
        const Clock::time_point now = Clock::now();
        while (!onTheWay.empty() && onTheWay.front().due <= now)
        {
            if (!SendAll(to, onTheWay.front().bytes.data(), onTheWay.front().bytes.size()))
            {
                broken = true;
                break;
            }
            onTheWay.pop_front();
        }
    }
    // The other side learns that no more bytes come, as it would directly.
    shutdown(to, SHUT_WR);
    if (broken)
        shutdown(from, SHUT_RD);
    link->running--;
}
