#include "db/ServerName.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <netinet/in.h>

namespace
{
std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// host[:port] or [ipv6][:port], as an inet:// name writes it.
std::string UrlHost(const std::string& authority)
{
    if (!authority.empty() && authority.front() == '[')
    {
        const size_t close = authority.find(']');
        return close == std::string::npos ? std::string() : authority.substr(1, close - 1);
    }
    return authority.substr(0, authority.find(':'));
}
} // namespace

std::string ServerHost(const std::string& database)
{
    const std::string lower = Lower(database);
    for (const char* scheme : {"inet://", "inet4://", "inet6://"})
    {
        const std::string prefix = scheme;
        if (lower.compare(0, prefix.size(), prefix) == 0)
        {
            const std::string rest = database.substr(prefix.size());
            return UrlHost(rest.substr(0, rest.find('/')));
        }
    }
    // Any other scheme (xnet://, wnet://) is not a TCP server of a host.
    if (lower.find("://") != std::string::npos)
        return {};
    if (!database.empty() && database.front() == '[')
    {
        const size_t close = database.find(']');
        if (close == std::string::npos || close + 1 >= database.size() ||
            (database[close + 1] != ':' && database[close + 1] != '/'))
            return {};
        return database.substr(1, close - 1);
    }
    const size_t colon = database.find(':');
    // A path from the root ("/data/x:1.fdb") is a file whatever colons it holds.
    if (colon == std::string::npos || colon == 0 || database.front() == '/')
        return {};
    // "C:\data\x.fdb" is a Windows drive, not a host called C.
    if (colon == 1 && database.size() > 2 && (database[2] == '\\' || database[2] == '/'))
        return {};
    const std::string host = database.substr(0, colon);
    return host.substr(0, host.find('/'));
}

bool IsLoopbackHost(const std::string& host)
{
    if (Lower(host) == "localhost")
        return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}
