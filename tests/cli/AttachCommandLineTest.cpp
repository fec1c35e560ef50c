// The unattended copy's attachments: database names beyond ASCII open
// whatever locale the program is started in, and a database that cannot be
// attached is reported with the server's reason, embedded and through the
// loopback server.
#include "cli/InstalledProgram.h"
#include "db/CFbConnection.h"
#include "support/CTempDatabase.h"
#include "support/DatabaseFingerprint.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace
{
const char* const Shop = "CREATE TABLE T (ID INTEGER, S VARCHAR(20));";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// Tests that run the program once on databases it opens itself (false) and
// once on databases it reaches through the loopback server (true).
class AttachCommandLine : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
        // One attempt: a database that fails, fails at once.
        m_program.WriteSettings("<Retries>1</Retries>\r\n");
    }
    bool ViaServer() const { return GetParam(); }
    std::string Prefix() const { return ViaServer() ? TestServer().prefix : ""; }
    CTempDatabase::SOptions On(const std::string& fileName) const
    {
        return CTempDatabase::SOptions{"UTF8", ViaServer(), fileName};
    }

    CInstalledProgram m_program;
};

struct SNameCase
{
    const char* what;
    const char* source;
    const char* dest;
    // Added to the program's environment (an empty value removes a variable).
    std::vector<std::pair<std::string, std::string>> environment;
};

const SNameCase NameCases[] = {
    {"letters with accents and the euro sign", "Grüße €.fdb", "Straße.fdb", {}},
    {"Chinese letters", "数据.fdb", "目标 数据.fdb", {}},
    {"the C locale", "Grüße €.fdb", "数据.fdb", {{"LC_ALL", "C"}}},
    {"no locale at all", "Grüße €.fdb", "数据.fdb", {{"LANG", ""}, {"LC_ALL", ""}, {"LC_CTYPE", ""}}},
};

enum class EPaths
{
    Both,
    // Passwords mean nothing to the embedded engine.
    ServerOnly,
    // The name chooses a server of its own: the same on either path.
    EmbeddedOnly,
};

enum class EFault
{
    MissingFile,
    WrongPassword,
    NoServer,
    HeldByAnotherEngine,
};

struct SFailureCase
{
    const char* what;
    EPaths paths;
    EFault fault;
    bool sourceFails;
    // A part of the server's message.
    const char* reason;
};

const SFailureCase FailureCases[] = {
    {"missing source", EPaths::Both, EFault::MissingFile, true, "Error while trying to open file"},
    {"missing destination", EPaths::Both, EFault::MissingFile, false, "No such file or directory"},
    {"wrong password", EPaths::ServerOnly, EFault::WrongPassword, false, "Your user name and password are not defined"},
    {"no server", EPaths::EmbeddedOnly, EFault::NoServer, true, "Unable to complete network request to host"},
    {"held by another engine", EPaths::Both, EFault::HeldByAnotherEngine, false,
     "Database already opened with engine instance, incompatible with current"},
};
} // namespace

TEST_P(AttachCommandLine, NamesBeyondAsciiOpenInAnyLocale)
{
    for (const SNameCase& test : NameCases)
    {
        SCOPED_TRACE(test.what);
        CWatchedDatabase source(Shop, On(test.source));
        CTempDatabase dest(Shop, On(test.dest));
        source.Run("INSERT INTO T VALUES (1, 'Grüße 数据');");
        const SRunResult result = m_program.Run(CopyArguments(source, dest), {"", test.environment});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(dest.Scalar("SELECT S FROM T WHERE ID = 1"), "Grüße 数据");
        // The run's logs lie next to the source, under its own name.
        const std::string logLine = "Run log: " + source.Folder().Path() + "DB_copy_";
        ASSERT_NE(result.out.find(logLine), std::string::npos) << result.out;
        const std::string log = Lines(result.out.substr(result.out.find(logLine)))[0].substr(9);
        EXPECT_NE(ReadWholeFile(log).find("Successfully"), std::string::npos) << log;
        ExpectUnchanged(source);
    }
}

TEST_P(AttachCommandLine, AFailedAttachSaysTheServersReasonAndNothingAboutTables)
{
    for (const SFailureCase& test : FailureCases)
    {
        if ((test.paths == EPaths::ServerOnly && !ViaServer()) || (test.paths == EPaths::EmbeddedOnly && ViaServer()))
            continue;
        // The embedded run's holder needs the server.
        if (test.fault == EFault::HeldByAnotherEngine && !TestServer().available)
            continue;
        SCOPED_TRACE(test.what);
        CWatchedDatabase source(Shop, On("Quelle ü.fdb"));
        CTempDatabase dest(Shop, On("Ziel ü.fdb"));
        std::vector<std::string> arguments = CopyArguments(source, dest);
        const CTempDatabase& failing = test.sourceFails ? source : dest;
        std::string& name = arguments[test.sourceFails ? 0 : 3];
        std::unique_ptr<CFbConnection> holder;
        switch (test.fault)
        {
        case EFault::MissingFile: name = Prefix() + failing.Folder().File("fehlt ü.fdb"); break;
        case EFault::WrongPassword: arguments[test.sourceFails ? 2 : 5] = "wrong"; break;
        // Nothing listens at Firebird's usual port here.
        case EFault::NoServer: name = "localhost:" + failing.Path(); break;
        case EFault::HeldByAnotherEngine:
            // The embedded engine and a server cannot have one file open at
            // once: the test holds it on the path the program does not take.
            holder = std::make_unique<CFbConnection>(1);
            ASSERT_TRUE(
                holder->Connect(TestUser, TestPassword, (ViaServer() ? "" : TestServer().prefix) + failing.Path()))
                << holder->LastErrorMessage();
            break;
        }
        const SRunResult result = m_program.Run(arguments);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        const std::string message =
            test.sourceFails ? "Cannot attach source database." : "Cannot attach destination database.";
        EXPECT_TRUE(SaysAttachFailed(result.err, message, test.reason));
        // The name arrived as it was given.
        if (test.fault == EFault::MissingFile)
        {
            EXPECT_TRUE(SaysAttachFailed(result.err, message, failing.Folder().File("fehlt ü.fdb")));
        }
        EXPECT_EQ(result.out, "");
        holder.reset();
        ExpectUnchanged(source);
    }
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, AttachCommandLine, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughServer" : "Embedded"; });
