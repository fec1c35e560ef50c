// The unattended copy's attachments: names beyond ASCII open in any locale,
// and a database that cannot be attached is reported with the server's reason.
#include "cli/InstalledProgram.h"
#include "db/CFbConnection.h"
#include "support/DatabaseFingerprint.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
const char* const Shop = "CREATE TABLE T (ID INTEGER, S VARCHAR(20));";
using AttachCommandLine = ProgramOnEitherPath;
} // namespace

TEST_P(AttachCommandLine, NamesBeyondAsciiOpenInAnyLocale)
{
    const struct
    {
        const char* source;
        const char* dest;
        std::vector<std::pair<std::string, std::string>> environment; // "" removes a variable
    } cases[] = {
        {"Grüße €.fdb", "Straße.fdb", {}},
        {"数据.fdb", "目标 数据.fdb", {{"LC_ALL", "C"}}},
        {"Grüße €.fdb", "数据.fdb", {{"LANG", ""}, {"LC_ALL", ""}, {"LC_CTYPE", ""}}},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.source + std::string(" ") + test.dest);
        CInstalledProgram program;
        CWatchedDatabase source(Shop, On(test.source));
        CTempDatabase dest(Shop, On(test.dest));
        source.Run("INSERT INTO T VALUES (1, 'Grüße 数据');");
        const SRunResult result = program.Run(CopyArguments(source, dest), {"", test.environment});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(dest.Scalar("SELECT S FROM T"), "Grüße 数据");
        // The logs lie next to the source, in a folder under its name.
        EXPECT_TRUE(Contains(result.out, "Run log: " + source.Folder().Path() + "DB_copy_")) << result.out;
        ExpectUnchanged(source);
    }
}

TEST_P(AttachCommandLine, AFailedAttachSaysTheServersReasonAndNothingAboutTables)
{
    // Wrong passwords, servers that do not answer and files that are no
    // database are in FaultTest and BadInputCommandLineTest.
    for (const bool sourceFails : {true, false})
    {
        for (const bool missing : {true, false})
        {
            SCOPED_TRACE(std::string(sourceFails ? "source " : "destination ") + (missing ? "missing" : "held"));
            CInstalledProgram program;
            program.WriteSettings("<Retries>1</Retries>\r\n");
            CWatchedDatabase source(Shop, On("Quelle ü.fdb"));
            CTempDatabase dest(Shop, On("Ziel ü.fdb"));
            std::vector<std::string> arguments = CopyArguments(source, dest);
            const CTempDatabase& failing = sourceFails ? source : dest;
            const std::string gone = failing.Folder().File("fehlt ü.fdb");
            // The reason names the file as it was given.
            std::string reason = "\"" + gone + "\"";
            CFbConnection holder(1);
            if (missing)
                arguments[sourceFails ? 0 : 3] = (ViaServer() ? TestServer().prefix : "") + gone;
            else if (TestServer().available)
            {
                // The embedded engine and a server cannot have one file open
                // at once: the test holds it on the path the program does not
                // take.
                const std::string other = (ViaServer() ? "" : TestServer().prefix) + failing.Path();
                ASSERT_TRUE(holder.Connect(TestUser, TestPassword, other)) << holder.LastErrorMessage();
                reason = "Database already opened with engine instance";
            }
            else
                continue;
            const SRunResult result = program.Run(arguments);
            EXPECT_EQ(result.exitCode, 2) << result.err;
            EXPECT_TRUE(SaysAttachFailed(
                result.err, sourceFails ? "Cannot attach source database." : "Cannot attach destination database.",
                reason));
            EXPECT_EQ(result.out, "");
            holder.Disconnect();
            ExpectUnchanged(source);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, AttachCommandLine, ::testing::Values(false, true), PathName);
