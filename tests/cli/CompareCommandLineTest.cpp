// rowmover --compare: two databases compared row by row, nothing copied;
// and --no-verify for a copy.
#include "cli/InstalledProgram.h"
#include "support/DatabaseFingerprint.h"

#include <gtest/gtest.h>

namespace
{
const char* const Ddl = "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20));";

std::vector<std::string> With(const char* option, const std::vector<std::string>& arguments)
{
    std::vector<std::string> all{option};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
}
} // namespace

TEST(CompareCommandLine, ExitCodesSayIdenticalDifferentOrNotCompared)
{
    struct SCase
    {
        const char* destRows;
        int exitCode;
        const char* says;
    };
    const SCase cases[] = {
        {"INSERT INTO T VALUES (1, 'Anne'); INSERT INTO T VALUES (2, 'Bob');", 0, "T: Verified: 2 rows identical\n"},
        {"INSERT INTO T VALUES (1, 'Anne'); INSERT INTO T VALUES (2, 'Bobby');", 1,
         "T: Difference (ID=2, NAME: 'Bob' in the source, 'Bobby' in the destination)\n"},
        {"INSERT INTO T VALUES (1, 'Anne');", 1, "T: Missing in the destination (ID=2)\n"},
    };
    for (const SCase& c : cases)
    {
        CInstalledProgram program;
        CWatchedDatabase source(std::string(Ddl) +
                                "INSERT INTO T VALUES (1, 'Anne'); INSERT INTO T VALUES (2, 'Bob');");
        CWatchedDatabase dest(std::string(Ddl) + c.destRows);
        const SRunResult result = program.Run(With("--compare", CopyArguments(source, dest)));
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
        EXPECT_TRUE(Contains(result.out, c.says)) << result.out;
        // CWatchedDatabase fails the test if either database changed.
    }
    CInstalledProgram program;
    CTempDatabase source(Ddl);
    const SRunResult result = program.Run({"--compare", source.Name(), TestUser, TestPassword,
                                           source.Folder().File("missing.fdb"), TestUser, TestPassword});
    EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
}

TEST(CompareCommandLine, NoVerifyCopiesWithoutReadingBack)
{
    for (const bool verify : {true, false})
    {
        CInstalledProgram program;
        CTempDatabase source(std::string(Ddl) + "INSERT INTO T VALUES (1, 'Anne');");
        CTempDatabase dest(Ddl);
        const SRunResult result =
            program.Run(verify ? CopyArguments(source, dest) : With("--no-verify", CopyArguments(source, dest)));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        const size_t line = result.out.find("Run log: ") + 9;
        const std::string runLog = ReadWholeFile(result.out.substr(line, result.out.find('\n', line) - line));
        EXPECT_EQ(Contains(runLog, "Verified: 1 rows identical"), verify) << runLog;
    }
}
