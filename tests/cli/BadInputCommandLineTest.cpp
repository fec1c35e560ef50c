// Bad input on the command line: database names that are no database on
// either side, empty arguments, and bytes that are not UTF-8. Each gives the
// program's message and exit code 2, and no file named is changed.
#include "cli/InstalledProgram.h"
#include "support/DatabaseFingerprint.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace
{
void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Something that is not a Firebird database, though it may look like one at
// first glance: a file that starts like a database page and then is noise.
std::string NotADatabase()
{
    std::string bytes(16384, '\0');
    bytes[0] = 1; // the header page's type
    for (size_t i = 16; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7919) & 0xFF);
    return bytes;
}
} // namespace

TEST(BadInputCommandLine, NamesThatAreNoDatabaseAreRefusedOnEitherSideAndLeftAlone)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    CTempFolder folder;
    WriteBytes(folder.File("empty.fdb"), "");
    WriteBytes(folder.File("notes.fdb"), "not a database\r\n");
    WriteBytes(folder.File("noise.fdb"), NotADatabase());
    const std::vector<std::string> files{"empty.fdb", "notes.fdb", "noise.fdb"};
    std::vector<std::string> before;
    for (const std::string& file : files)
        before.push_back(ReadBytes(folder.File(file)));

    std::vector<std::string> names{folder.Path()};
    for (const std::string& file : files)
        names.push_back(folder.File(file));
    for (const std::string& name : names)
    {
        SRunResult result = program.Run({name, "", "", source.Name(), "", ""});
        EXPECT_FALSE(result.hung) << name;
        EXPECT_EQ(result.exitCode, 2) << name;
        // Every reason names the file.
        EXPECT_TRUE(SaysAttachFailed(result.err, "Cannot attach source database.", name));
        EXPECT_EQ(result.out, "") << name;

        result = program.Run({source.Name(), "", "", name, "", ""});
        EXPECT_FALSE(result.hung) << name;
        EXPECT_EQ(result.exitCode, 2) << name;
        EXPECT_TRUE(SaysAttachFailed(result.err, "Cannot attach destination database.", name));
        EXPECT_EQ(result.out, "") << name;
    }
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_TRUE(ReadBytes(folder.File(files[i])) == before[i]) << files[i] << " was changed";
    // Nothing was made next to the files that are no database.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        ++entries;
    EXPECT_EQ(entries, files.size());
}

TEST(BadInputCommandLine, EmptyArgumentsNameWhatIsMissing)
{
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    SRunResult result = program.Run({"", "", "", "", "", ""});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "No source database selected.\n");
    result = program.Run({source.Name(), "", "", "", "", ""});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "No destination database selected.\n");
    EXPECT_EQ(result.out, "");
}

TEST(BadInputCommandLine, UserAndPasswordThatAreNotUtf8AreRefusedByTheDatabase)
{
    REQUIRE_TEST_SERVER();
    CInstalledProgram program;
    CWatchedDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);",
                            CTempDatabase::SOptions{"UTF8", true, "source.fdb"});
    CTempDatabase dest("CREATE TABLE T (ID INTEGER);");
    const SRunResult result =
        program.Run({source.Name(), "SYS\xff\xfe", "velvet\xc3", dest.Name(), TestUser, TestPassword});
    EXPECT_FALSE(result.hung);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(SaysAttachFailed(result.err, "Cannot attach source database.", "Error occurred during login"));
    EXPECT_EQ(dest.Scalar("SELECT COUNT(*) FROM T"), "0");
}

TEST(BadInputCommandLine, ADamagedSettingsFileStopsTheRunBeforeAnythingIsWritten)
{
    // Its code page for legacy text and its log switch would silently give
    // way to the defaults, and the copy would write other bytes.
    CInstalledProgram program;
    CTempDatabase source("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);");
    CTempDatabase dest("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (7);");
    const std::string whole = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n"
                              "  <SourceCharset>WIN1252</SourceCharset>\r\n  <DoLogs>0</DoLogs>\r\n</InitFile>\r\n";
    std::filesystem::create_directories(program.ConfigFolder());
    const std::string settings = program.ConfigFolder() + "Rowmover.ini";
    for (const std::string& damaged : {whole.substr(0, whole.size() - 8), whole.substr(whole.find('<', 1))})
    {
        WriteBytes(settings, damaged);
        const SRunResult result = program.Run({source.Name(), "", "", dest.Name(), "", ""});
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_NE(result.err.find("The settings file " + settings + " cannot be read"), std::string::npos)
            << result.err;
        EXPECT_EQ(dest.Scalar("SELECT LIST(ID) FROM T"), "7");
        EXPECT_EQ(ReadBytes(settings), damaged);
    }
    // Whole, the same file copies; an empty one gives the defaults.
    for (const std::string& good : {whole, std::string()})
    {
        WriteBytes(settings, good);
        EXPECT_EQ(program.Run({source.Name(), "", "", dest.Name(), "", ""}).exitCode, 0);
    }
    EXPECT_EQ(dest.Scalar("SELECT LIST(ID) FROM T"), "1");
}
