#include "core/PathHelpers.h"
#include "core/TextEncoding.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace
{
// Printable wide text for failure messages.
std::string Show(const std::u16string& text)
{
    return WideToUtf8(text);
}
} // namespace

TEST(GetDirectoryPart, KeepsEverythingUpToTheLastSeparator)
{
    EXPECT_EQ(GetDirectoryPart(u"C:\\Prog\\app.exe"), u"C:\\Prog\\");
    EXPECT_EQ(GetDirectoryPart(u"C:/x/y.fdb"), u"C:/x/");
    EXPECT_EQ(GetDirectoryPart(u"/srv/data/main.fdb"), u"/srv/data/");
    EXPECT_EQ(GetDirectoryPart(u"/srv/data\\mixed.fdb"), u"/srv/data\\");
    EXPECT_EQ(GetDirectoryPart(std::string("/srv/data/main.fdb")), "/srv/data/");
}

TEST(GetDirectoryPart, PathWithoutSeparatorAfterTheFirstCharacterIsReturnedWhole)
{
    EXPECT_EQ(GetDirectoryPart(u"app.exe"), u"app.exe");
    EXPECT_EQ(GetDirectoryPart(u"\\app.exe"), u"\\app.exe");
    EXPECT_EQ(GetDirectoryPart(u"/app.exe"), u"/app.exe");
    EXPECT_EQ(GetDirectoryPart(u""), u"");
    EXPECT_EQ(GetDirectoryPart(std::string("main.fdb")), "main.fdb");
}

TEST(GetFileNamePart, TextAfterTheLastSeparator)
{
    EXPECT_EQ(GetFileNamePart(u"C:\\x\\y.fdb"), u"y.fdb");
    EXPECT_EQ(GetFileNamePart(u"/srv/data/main.fdb"), u"main.fdb");
    EXPECT_EQ(GetFileNamePart(u"C:/x\\y.fdb"), u"y.fdb");
}

TEST(GetFileNamePart, FinalSeparatorIsSkipped)
{
    EXPECT_EQ(GetFileNamePart(u"C:\\dir\\sub\\"), u"sub\\");
    EXPECT_EQ(GetFileNamePart(u"/srv/data/"), u"data/");
}

TEST(GetFileNamePart, NoSeparatorAfterTheFirstCharacterGivesTheWholePath)
{
    EXPECT_EQ(GetFileNamePart(u"main.fdb"), u"main.fdb");
    EXPECT_EQ(GetFileNamePart(u"/main.fdb"), u"/main.fdb");
    EXPECT_EQ(GetFileNamePart(u"a/"), u"a/");
    EXPECT_EQ(GetFileNamePart(u""), u"");
}

TEST(GetExtension, FromTheLastFullStop)
{
    EXPECT_EQ(GetExtension(u"main.FDB"), u".FDB");
    EXPECT_EQ(GetExtension(u"/srv/backup.2024.fdb"), u".fdb");
    EXPECT_EQ(GetExtension(std::string("/srv/main.gdb")), ".gdb");
}

TEST(GetExtension, DoesNotStopAtSeparators)
{
    EXPECT_EQ(GetExtension(u"C:\\rel1.2\\data"), u".2\\data");
    EXPECT_EQ(GetExtension(u"/srv/v1.0/data"), u".0/data");
}

TEST(GetExtension, NoneOrOnlyAtTheFirstCharacterGivesEmpty)
{
    EXPECT_EQ(GetExtension(u"readme"), u"");
    EXPECT_EQ(GetExtension(u".profile"), u"");
    EXPECT_EQ(GetExtension(u""), u"");
    EXPECT_EQ(GetExtension(std::string(".profile")), "");
}

TEST(GetExtensionLower, FoldsAsciiLettersOnly)
{
    EXPECT_EQ(GetExtensionLower(u"MAIN.FDB"), u".fdb");
    EXPECT_EQ(GetExtensionLower(u"x.GdB"), u".gdb");
    EXPECT_EQ(GetExtensionLower(u"x.\u00C9T"), u".\u00C9t");
    EXPECT_EQ(GetExtensionLower(u"readme"), u"");
}

TEST(GetTextAfterColon, TextAfterTheFirstColon)
{
    EXPECT_EQ(GetTextAfterColon(u"dbhost:C:\\a.fdb"), u"C:\\a.fdb");
    EXPECT_EQ(GetTextAfterColon(u"/srv/a.fdb"), u"/srv/a.fdb");
    EXPECT_EQ(GetTextAfterColon(u"host:"), u"");
}

TEST(GetLocalDatabasePath, RemovesEveryServerPartFirebirdAccepts)
{
    const std::vector<std::pair<std::u16string, std::u16string>> cases = {
        {u"dbhost:/srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"localhost:/srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"dbhost/3051:/srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"dbhost/gds_db:/srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"192.168.1.7:/srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"[::1]:/srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"[::1]/3051:/srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"inet://dbhost/srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"inet://dbhost:3051//srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"inet4://dbhost/srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"inet6://[::1]:3051//srv/data/main.fdb", u"/srv/data/main.fdb"},
        {u"dbhost:C:\\data\\main.fdb", u"C:\\data\\main.fdb"},
        {u"dbhost:C:\\a.fdb", u"C:\\a.fdb"},
        {u"dbhost/3051:C:\\a.fdb", u"C:\\a.fdb"},
        {u"inet://dbhost/C:\\a.fdb", u"C:\\a.fdb"},
        {u"dbhost:/srv/d\u00E9j\u00E0.fdb", u"/srv/d\u00E9j\u00E0.fdb"},
    };
    for (const auto& [name, local] : cases)
    {
        EXPECT_EQ(GetLocalDatabasePath(name), local) << Show(name);
        EXPECT_EQ(GetLocalDatabasePath(WideToUtf8(name)), WideToUtf8(local)) << Show(name);
    }
}

TEST(GetLocalDatabasePath, NameWithoutServerPartIsUnchanged)
{
    for (const std::u16string name : {u"/srv/data/main.fdb", u"main.fdb", u"data/main.fdb", u"./main.fdb",
                                      u"../data/main.fdb", u"C:\\a.fdb", u"C:/data/a.fdb", u"/srv/odd:name.fdb", u""})
    {
        EXPECT_EQ(GetLocalDatabasePath(name), name) << Show(name);
        EXPECT_EQ(GetLocalDatabasePath(WideToUtf8(name)), WideToUtf8(name)) << Show(name);
    }
}

TEST(GetDatabaseHost, TheHostWithoutPortServiceOrBrackets)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"dbhost:/srv/main.fdb", "dbhost"},
        {"dbhost/3051:/srv/main.fdb", "dbhost"},
        {"dbhost/gds_db:/srv/main.fdb", "dbhost"},
        {"192.168.1.7:/srv/main.fdb", "192.168.1.7"},
        {"[::1]:/srv/main.fdb", "::1"},
        {"[fe80::1]/3051:/srv/main.fdb", "fe80::1"},
        {"inet://dbhost/srv/main.fdb", "dbhost"},
        {"inet://dbhost:3051//srv/main.fdb", "dbhost"},
        {"inet6://[::1]:3051//srv/main.fdb", "::1"},
        {"dbhost:C:\\a.fdb", "dbhost"},
        {"/srv/odd:name.fdb", ""},
        {"main.fdb", ""},
        {"C:\\a.fdb", ""},
        {"", ""},
    };
    for (const auto& [name, host] : cases)
        EXPECT_EQ(GetDatabaseHost(name), host) << name;
}

TEST(ConvertSeparators, ConvertsInTheAskedDirectionOnly)
{
    EXPECT_EQ(ConvertSeparators(u"C:/data\\sub/x.fdb", true), u"C:\\data\\sub\\x.fdb");
    EXPECT_EQ(ConvertSeparators(u"C:/data\\sub/x.fdb", false), u"C:/data/sub/x.fdb");
    EXPECT_EQ(ConvertSeparators(u"main.fdb", true), u"main.fdb");
}

TEST(JoinPath, AddsOneSlashOnlyWhenNeeded)
{
    EXPECT_EQ(JoinPath(u"/srv/data", u"main.fdb"), u"/srv/data/main.fdb");
    EXPECT_EQ(JoinPath(u"/srv/data/", u"main.fdb"), u"/srv/data/main.fdb");
    EXPECT_EQ(JoinPath(u"", u"main.fdb"), u"main.fdb");
    EXPECT_EQ(JoinPath(std::string("/srv/data"), std::string("main.fdb")), "/srv/data/main.fdb");
    EXPECT_EQ(JoinPath(std::string("/srv/data/"), std::string("main.fdb")), "/srv/data/main.fdb");
}
