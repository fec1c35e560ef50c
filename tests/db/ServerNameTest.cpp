#include "db/ServerName.h"

#include <gtest/gtest.h>

TEST(ServerName, TheHostOfEveryFormOfDatabaseName)
{
    const struct
    {
        const char* name;
        const char* host;
    } cases[] = {
        {"/data/x.fdb", ""},
        {"/data/odd:name.fdb", ""},
        {"x.fdb", ""},
        {"C:\\Data\\x.fdb", ""},
        {"c:/Data/x.fdb", ""},
        {"localhost:/data/x.fdb", "localhost"},
        {"localhost:C:\\\\Data\\\\x.fdb", "localhost"},
        {"localhost/3057:/data/x.fdb", "localhost"},
        {"db.example.org/gds_db:/data/x.fdb", "db.example.org"},
        {"127.0.0.1:employee", "127.0.0.1"},
        {"[::1]:/data/x.fdb", "::1"},
        {"[::1]/3050:/data/x.fdb", "::1"},
        {"[::1", ""},
        {"inet://localhost/data/x.fdb", "localhost"},
        {"INET4://127.0.0.1:3057//data/x.fdb", "127.0.0.1"},
        {"inet6://[::1]:3057/data/x.fdb", "::1"},
        {"xnet://employee", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ServerHost(c.name), c.host) << c.name;
}

TEST(ServerName, OnlyLoopbackAddressesAreLoopback)
{
    const struct
    {
        const char* host;
        bool loopback;
    } cases[] = {
        {"localhost", true},       {"LocalHost", true},   {"127.0.0.1", true},
        {"127.1.2.3", true},       {"::1", true},         {"", false},
        {"128.0.0.1", false},      {"10.0.0.1", false},   {"::2", false},
        {"localhost.evil", false}, {"db.example", false}, {"127.0.0.1.example", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsLoopbackHost(c.host), c.loopback) << c.host;
}
