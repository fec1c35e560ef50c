#include "db/EmbeddedLockFolder.h"
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string WriteConfig(const CTempFolder& folder, const std::string& text)
{
    const std::string path = folder.File("firebird.conf");
    std::filesystem::remove(path);
    AppendTextToFile(path, text);
    return path;
}
} // namespace

TEST(EmbeddedLockFolder, OnlyTheServerModeSuperOpensFilesExclusively)
{
    CTempFolder folder;
    const struct
    {
        const char* config;
        bool exclusive;
    } cases[] = {
        {"", true},
        {"#ServerMode = Classic\n", true},
        {"ServerMode = Super\n", true},
        {"  servermode=ThreadedDedicated  # old name\n", true},
        {"ServerMode = Classic\n", false},
        {"ServerMode = SuperClassic\n", false},
        {"ServerMode=ThreadedShared\n", false},
        {"ServerMode = Super\nServerMode = Classic\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EngineOpensFilesExclusively(WriteConfig(folder, c.config)), c.exclusive) << c.config;
    EXPECT_TRUE(EngineOpensFilesExclusively(folder.File("missing.conf")));
}

TEST(EmbeddedLockFolder, AFolderOfTheUsersOwnOnlyWhereTheSharedOneCannotBeUsedAndFilesAreExclusive)
{
    CTempFolder folder;
    std::filesystem::create_directory(folder.File("shared"));
    std::filesystem::create_directory(folder.File("runtime"));
    const std::string super = WriteConfig(folder, "ServerMode = Super\n");
    const unsigned user = ::getuid();
    const std::string own = folder.File("runtime/rowmover-firebird-") + std::to_string(user);
    const struct
    {
        const char* what;
        SEmbeddedLockInputs inputs;
        std::string expected;
    } cases[] = {
        {"FIREBIRD_LOCK set", {"/elsewhere", folder.File("missing"), super, folder.File("runtime"), user}, ""},
        {"shared folder usable", {"", folder.File("shared"), super, folder.File("runtime"), user}, ""},
        {"shared folder missing", {"", folder.File("missing"), super, folder.File("runtime"), user}, own},
        {"shared folder a file", {"", super, super, folder.File("runtime"), user}, own},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseEmbeddedLockFolder(c.inputs), c.expected) << c.what;
    struct stat info
    {
    };
    ASSERT_EQ(::stat(own.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // Engines that share database files must share one lock folder.
    const std::string classic = WriteConfig(folder, "ServerMode = Classic\n");
    EXPECT_EQ(ChooseEmbeddedLockFolder({"", folder.File("missing"), classic, folder.File("runtime"), user}), "");
}

TEST(EmbeddedLockFolder, AFolderOpenToOthersOrALinkIsNeverTaken)
{
    CTempFolder folder;
    std::filesystem::create_directory(folder.File("runtime"));
    std::filesystem::create_directory(folder.File("target"));
    const std::string super = WriteConfig(folder, "ServerMode = Super\n");
    const unsigned user = ::getuid();
    const std::string own = folder.File("runtime/rowmover-firebird-") + std::to_string(user);
    const std::string fallback = "/tmp/rowmover-firebird-" + std::to_string(user);
    std::filesystem::create_directory_symlink(folder.File("target"), own);
    EXPECT_EQ(ChooseEmbeddedLockFolder({"", folder.File("missing"), super, folder.File("runtime"), user}), fallback);
    std::filesystem::remove(own);
    std::filesystem::create_directory(own);
    ::chmod(own.c_str(), 0777);
    EXPECT_EQ(ChooseEmbeddedLockFolder({"", folder.File("missing"), super, folder.File("runtime"), user}), fallback);
}

TEST(EmbeddedLockFolder, AnErrorTheUserCanActOnSaysWhatToDoInOneSentence)
{
    const struct
    {
        const char* error;
        const char* advice; // a part of it, or "" for none
    } cases[] = {
        {"operating system directive access failed\n-Permission denied\n/tmp/firebird/", "group \"firebird\""},
        {"I/O error during \"open\" operation for file \"/data/x.fdb\"\n-Error while trying to open file\n"
         "-Permission denied",
         "ask its owner for write access"},
        {"I/O error during \"lock\" operation for file \"/data/x.fdb\"\n"
         "-Database already opened with engine instance, incompatible with current",
         "name it through that server"},
        {"Your user name and password are not defined.", ""},
    };
    unsetenv("FIREBIRD_LOCK");
    for (const auto& c : cases)
    {
        const std::string advice = EmbeddedEngineAdvice(c.error);
        if (*c.advice == '\0')
            EXPECT_EQ(advice, "") << c.error;
        else
        {
            EXPECT_NE(advice.find(c.advice), std::string::npos) << advice;
            // One sentence: one full stop, at the end.
            EXPECT_EQ(advice.find(". "), std::string::npos) << advice;
            EXPECT_EQ(advice.back(), '.');
        }
    }
}
