#include "relay/CLatencyRelay.h"

#include "db/CFbConnection.h"
#include "support/CTempDatabase.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A socket connected to 127.0.0.1:port, or -1.
int ConnectTo(std::uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    {
        close(fd);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

// Reads until size bytes arrived, the peer closed or the bound passed.
std::string ReceiveBytes(int fd, size_t size, milliseconds bound = milliseconds(10000))
{
    std::string received;
    const auto end = Clock::now() + bound;
    char buffer[65536];
    while (received.size() < size && Clock::now() < end)
    {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, 100) <= 0)
            continue;
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        received.append(buffer, static_cast<size_t>(got));
    }
    return received;
}

// The far end of the relay: a server on a free loopback port that records
// what arrives on its first connection and when, and sends back what it is
// told to.
class CFarEnd
{
  public:
    CFarEnd()
    {
        m_nListen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        bind(m_nListen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_nListen, 4);
        getsockname(m_nListen, reinterpret_cast<sockaddr*>(&address), &length);
        m_nPort = ntohs(address.sin_port);
    }
    ~CFarEnd()
    {
        if (m_nConnection >= 0)
            close(m_nConnection);
        close(m_nListen);
    }
    std::uint16_t Port() const { return m_nPort; }
    // The accepted connection of the relay, waited for with a bound.
    int Connection()
    {
        if (m_nConnection < 0)
        {
            pollfd waiting{m_nListen, POLLIN, 0};
            if (poll(&waiting, 1, 10000) > 0)
                m_nConnection = accept(m_nListen, nullptr, nullptr);
        }
        return m_nConnection;
    }

  private:
    int m_nListen = -1;
    int m_nConnection = -1;
    std::uint16_t m_nPort = 0;
};

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class LatencyRelayDelay : public ::testing::TestWithParam<int>
{
};

// A message and its answer each take the delay once: a round trip costs
// twice the one-way delay, and no less.
TEST_P(LatencyRelayDelay, RoundTripTakesTwiceTheOneWayDelay)
{
    const int delayMs = GetParam();
    CFarEnd far;
    CLatencyRelay relay;
    ASSERT_TRUE(relay.Start(far.Port(), milliseconds(delayMs)));
    const int client = ConnectTo(relay.Port());
    ASSERT_GE(client, 0);
    const int server = far.Connection();
    ASSERT_GE(server, 0);
    double fastest = 1e9;
    for (int trip = 0; trip < 5; ++trip)
    {
        const auto start = Clock::now();
        ASSERT_EQ(send(client, "ping", 4, 0), 4);
        ASSERT_EQ(ReceiveBytes(server, 4), "ping");
        ASSERT_EQ(send(server, "pong!", 5, 0), 5);
        ASSERT_EQ(ReceiveBytes(client, 5), "pong!");
        const double took = MillisecondsSince(start);
        EXPECT_GE(took, 2.0 * delayMs) << "trip " << trip;
        fastest = std::min(fastest, took);
    }
    // A busy machine may add to a trip, but the fastest of several is close.
    EXPECT_LT(fastest, 2.0 * delayMs + 15);
    EXPECT_EQ(relay.Connections(), 1);
    close(client);
}

INSTANTIATE_TEST_SUITE_P(Delays, LatencyRelayDelay, ::testing::Values(0, 5, 30));

// Bytes sent one after another while earlier ones are on their way arrive
// one delay after they were sent, not one delay after the earlier ones
// arrived: the relay is a long wire, not a queue of delays.
TEST(LatencyRelay, DelayIsNotSerialised)
{
    constexpr int DelayMs = 100;
    constexpr int Messages = 10;
    CFarEnd far;
    CLatencyRelay relay;
    ASSERT_TRUE(relay.Start(far.Port(), milliseconds(DelayMs)));
    const int client = ConnectTo(relay.Port());
    ASSERT_GE(client, 0);
    const int server = far.Connection();
    ASSERT_GE(server, 0);
    const auto start = Clock::now();
    for (int i = 0; i < Messages; ++i)
    {
        ASSERT_EQ(send(client, "x", 1, 0), 1);
        std::this_thread::sleep_for(milliseconds(5)); // pacing the sender, not waiting for a result
    }
    const std::string arrived = ReceiveBytes(server, Messages);
    const double took = MillisecondsSince(start);
    EXPECT_EQ(arrived, std::string(Messages, 'x'));
    EXPECT_GE(took, DelayMs);
    // Serialised, the last byte would come after Messages delays.
    EXPECT_LT(took, 3 * DelayMs);
    close(client);
}

// Everything arrives, in order, both ways, and a side that closes is seen
// closed at the other end once its bytes are through.
TEST(LatencyRelay, KeepsEveryByteInOrderAndPassesTheClose)
{
    CFarEnd far;
    CLatencyRelay relay;
    ASSERT_TRUE(relay.Start(far.Port(), milliseconds(2)));
    const int client = ConnectTo(relay.Port());
    ASSERT_GE(client, 0);
    const int server = far.Connection();
    ASSERT_GE(server, 0);
    std::string payload(3 * 1024 * 1024, '\0');
    std::mt19937 random(22);
    for (char& c : payload)
        c = static_cast<char>(random());
    std::thread sender([&] {
        size_t sent = 0;
        while (sent < payload.size())
        {
            const ssize_t n = send(client, payload.data() + sent, std::min<size_t>(70000, payload.size() - sent), 0);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        shutdown(client, SHUT_WR);
    });
    const std::string received = ReceiveBytes(server, payload.size() + 1);
    sender.join();
    EXPECT_TRUE(received == payload) << received.size() << " of " << payload.size() << " bytes";
    // The answer still comes back after the client closed its sending side.
    ASSERT_EQ(send(server, "done", 4, 0), 4);
    close(far.Connection());
    EXPECT_EQ(ReceiveBytes(client, 100), "done");
    close(client);
}

// A Firebird client works through the relay as through the server's port.
TEST(LatencyRelay, CarriesAFirebirdAttachment)
{
    REQUIRE_TEST_SERVER();
    const std::string prefix = TestServer().prefix; // "host/port:"
    const size_t slash = prefix.rfind('/');
    ASSERT_NE(slash, std::string::npos);
    const auto serverPort = static_cast<std::uint16_t>(std::stoi(prefix.substr(slash + 1)));
    CTempDatabase::SOptions options;
    options.viaServer = true;
    CTempDatabase database("CREATE TABLE T (ID INTEGER, NAME VARCHAR(20)); INSERT INTO T VALUES (7, 'seven');",
                           options);
    CLatencyRelay relay;
    ASSERT_TRUE(relay.Start(serverPort, milliseconds(3)));
    CFbConnection connection(1);
    ASSERT_TRUE(
        connection.Connect(TestUser, TestPassword, "127.0.0.1/" + std::to_string(relay.Port()) + ":" + database.Path()))
        << connection.LastErrorMessage();
    CStringGrid rows;
    int failure = 0;
    connection.Execute("SELECT ID, NAME FROM T", failure, &rows);
    ASSERT_EQ(failure, 0) << connection.LastErrorMessage();
    ASSERT_EQ(rows.RowCount(), 1);
    EXPECT_EQ(rows.GetCell(0, 0), "7");
    EXPECT_EQ(rows.GetCell(1, 0), "seven");
    EXPECT_TRUE(connection.Disconnect());
    EXPECT_GE(relay.Connections(), 1);
}

// A port that nobody serves: the client's connection is closed at once.
TEST(LatencyRelay, ClosesTheClientWhenTheTargetRefuses)
{
    std::uint16_t unused = 0;
    {
        CFarEnd closed;
        unused = closed.Port();
    }
    CLatencyRelay relay;
    ASSERT_TRUE(relay.Start(unused, milliseconds(1)));
    const int client = ConnectTo(relay.Port());
    ASSERT_GE(client, 0);
    const auto start = Clock::now();
    EXPECT_EQ(ReceiveBytes(client, 1, milliseconds(5000)), "");
    EXPECT_LT(MillisecondsSince(start), 4000);
    close(client);
}
} // namespace
