// The program's embedded engine and the file locks that keep two engines
// from writing one database file, whatever lock folder each one uses.
#include "cli/InstalledProgram.h"
#include "db/CFbConnection.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

// The loopback server keeps its lock table in a folder of its own, and the
// program is given yet another: the database file's own lock must refuse the
// program's engine while the server has the file open, as the source and as
// the destination, and nothing may reach the file meanwhile.
TEST(EmbeddedLock, ADatabaseTheServerHoldsOpenIsRefusedNeverOpenedTwice)
{
    REQUIRE_TEST_SERVER();
    CInstalledProgram program;
    CTempFolder ownLocks;
    CTempDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (2);");
    const struct
    {
        const char* held;
        const CTempDatabase& database;
    } cases[] = {{"source", source}, {"destination", dest}};
    SLaunch ownLockFolder;
    ownLockFolder.environment = {{"FIREBIRD_LOCK", ownLocks.Path()}};
    for (const auto& c : cases)
    {
        CFbConnection server(1);
        ASSERT_TRUE(server.Connect("SYSDBA", "velvetoak", TestServer().prefix + c.database.Path()))
            << server.LastErrorMessage();
        for (const char* mode : {"--check", "--compare", "copy"})
        {
            std::vector<std::string> arguments{source.Path(), "", "", dest.Path(), "", ""};
            if (std::string(mode) != "copy")
                arguments.insert(arguments.begin(), mode);
            const SRunResult result = program.Run(arguments, ownLockFolder);
            EXPECT_EQ(result.exitCode, 2) << c.held << " " << mode << "\n" << result.out << result.err;
            EXPECT_TRUE(Contains(result.err, "Database already opened with engine instance")) << result.err;
            EXPECT_TRUE(Contains(result.err, "name it through that server")) << result.err;
        }
        server.Disconnect();
    }
    // Refused before anything was written.
    EXPECT_EQ(dest.Scalar("SELECT ID FROM T"), "2");
    EXPECT_FALSE(std::filesystem::exists(program.ProgramFolder().File("temp_db_backup.fdb")));
    // With the server gone the same program copies.
    const SRunResult copied = program.Run({source.Path(), "", "", dest.Path(), "", ""}, ownLockFolder);
    EXPECT_EQ(copied.exitCode, 0) << copied.err;
    EXPECT_EQ(dest.Scalar("SELECT ID FROM T"), "1");
}
