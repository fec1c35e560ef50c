#include "core/ThisMachine.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

TEST(IsDatabaseOnThisMachine, FilesAndServersOfThisComputerOnly)
{
    char own[256] = {};
    ASSERT_EQ(::gethostname(own, sizeof own - 1), 0);
    for (const std::string& name : std::vector<std::string>{
             "/srv/main.fdb", "main.fdb", "localhost:/srv/main.fdb", "LocalHost/3057:/srv/main.fdb",
             "127.0.0.1:/srv/main.fdb", "127.0.0.2/3050:/srv/main.fdb", "[::1]:/srv/main.fdb",
             "inet://localhost:3057//srv/main.fdb", std::string(own) + ":/srv/main.fdb"})
        EXPECT_TRUE(IsDatabaseOnThisMachine(name)) << name;
    // Documentation addresses, which no computer should have.
    for (const std::string& name :
         std::vector<std::string>{"198.51.100.1:/srv/main.fdb", "198.51.100.7/3050:/srv/main.fdb",
                                  "inet://203.0.113.9/srv/main.fdb", "[2001:db8::1]:/srv/main.fdb"})
        EXPECT_FALSE(IsDatabaseOnThisMachine(name)) << name;
}
