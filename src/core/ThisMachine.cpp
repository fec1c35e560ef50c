#include "core/ThisMachine.h"

#include "core/PathHelpers.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

bool IsLoopback(const sockaddr* address)
{
    if (address->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr) >> 24) == 127;
    if (address->sa_family == AF_INET6)
    {
        const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&v6))
            return true;
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

bool SameAddress(const sockaddr* a, const sockaddr* b)
{
    if (a->sa_family != b->sa_family)
        return false;
    if (a->sa_family == AF_INET)
        return reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in*>(b)->sin_addr.s_addr;
    if (a->sa_family == AF_INET6)
        return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr,
                           &reinterpret_cast<const sockaddr_in6*>(b)->sin6_addr, sizeof(in6_addr)) == 0;
    return false;
}

bool IsOwnName(const std::string& host)
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return false;
    const std::string own = Lower(name);
    return host == own || host == own.substr(0, own.find('.'));
}

bool IsOwnAddress(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false; // a host that cannot be named is not taken for this one
    ifaddrs* interfaces = nullptr;
    ::getifaddrs(&interfaces);
    bool own = false;
    for (const addrinfo* entry = found; entry && !own; entry = entry->ai_next)
    {
        own = IsLoopback(entry->ai_addr);
        for (const ifaddrs* i = interfaces; i && !own; i = i->ifa_next)
            own = i->ifa_addr && SameAddress(entry->ai_addr, i->ifa_addr);
    }
    if (interfaces)
        ::freeifaddrs(interfaces);
    ::freeaddrinfo(found);
    return own;
}
} // namespace

bool IsDatabaseOnThisMachine(const std::string& databaseName)
{
    const std::string host = Lower(GetDatabaseHost(databaseName));
    return host.empty() || host == "localhost" || IsOwnName(host) || IsOwnAddress(host);
}
