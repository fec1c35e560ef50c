#include "config/CAppSettings.h"

#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace
{
const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string SettingsFile(const std::string& entries)
{
    return kDeclaration + "<InitFile>\r\n" + entries + "</InitFile>\r\n";
}

// Records the order of the calls the settings make on the font object.
class CRecordingFont : public CStoredFontSettings
{
  public:
    std::vector<std::string> calls;

    void SetUseBuildInFont(bool use) override
    {
        calls.push_back(use ? "SetUseBuildInFont(1)" : "SetUseBuildInFont(0)");
        CStoredFontSettings::SetUseBuildInFont(use);
    }
    void Build() override
    {
        calls.push_back("Build");
        // As a window font object would: the platform font becomes current.
        CStoredFontSettings::SetFaceName(u"Platform Sans");
        CStoredFontSettings::SetCharset(0);
        CStoredFontSettings::SetPitchAndFamily(34);
        m_nBuiltHeight = -13;
    }
    void SetUseFontSettings(bool use) override
    {
        calls.push_back("SetUseFontSettings");
        CStoredFontSettings::SetUseFontSettings(use);
    }
    void SetUseFontHeight(bool use) override
    {
        calls.push_back("SetUseFontHeight");
        CStoredFontSettings::SetUseFontHeight(use);
    }
    void SetFaceName(const std::u16string& name) override
    {
        calls.push_back("SetFaceName");
        CStoredFontSettings::SetFaceName(name);
    }
    void SetCharset(std::uint8_t charset) override
    {
        calls.push_back("SetCharset");
        CStoredFontSettings::SetCharset(charset);
    }
    int GetHeight() const override { return GetUseFontHeight() ? CStoredFontSettings::GetHeight() : m_nBuiltHeight; }
    void SetHeight(int height) override
    {
        calls.push_back("SetHeight");
        CStoredFontSettings::SetHeight(height);
    }
    void SetPitchAndFamily(std::uint8_t pitch) override
    {
        calls.push_back("SetPitchAndFamily");
        CStoredFontSettings::SetPitchAndFamily(pitch);
    }
    void ApplyToOwner(bool withHeight) override { calls.push_back(withHeight ? "ApplyTo(1)" : "ApplyTo(0)"); }

  private:
    int m_nBuiltHeight = 0;
};

struct SFixture
{
    CTempFolder folder;
    CRecordingFont font;
    CAppSettings settings;
    SFixture() { settings.AttachFont(&font); }
    std::string Path() const { return folder.File("Rowmover.ini"); }
    void Load(const std::string& entries)
    {
        WriteBytes(Path(), SettingsFile(entries));
        settings.LoadSettings(Path());
    }
};
} // namespace

TEST(CAppSettingsTest, MissingFileGivesDefaults)
{
    SFixture f;
    f.settings.m_nRetries = 77;
    f.settings.LoadSettings(f.folder.File("missing.ini"));
    const CAppSettings& s = f.settings;
    EXPECT_TRUE(s.m_bDoBackups);
    EXPECT_TRUE(s.m_bDoLogs);
    // The start preset is 1, but a missing key gives the table default.
    EXPECT_EQ(s.m_nRetries, 10);
    EXPECT_EQ(s.m_sDefUser, u"SYSDBA");
    EXPECT_EQ(s.m_sDefPass, u"velvetoak");
    EXPECT_EQ(s.m_sLastLog, u"");
    EXPECT_TRUE(s.m_bRecentDBs);
    EXPECT_TRUE(s.m_bExtendDBName);
    EXPECT_EQ(f.settings.m_RecentDBs.ColumnCount(), 2);
    EXPECT_EQ(f.settings.m_RecentDBs.RowCount(), 26);
    for (int row = 0; row < 25; ++row)
        EXPECT_EQ(f.settings.m_RecentDBs.GetCell(0, row), "");
    EXPECT_TRUE(s.m_bLanguageUnset);
    EXPECT_EQ(s.m_sLanguageFile, u"");
}

TEST(CAppSettingsTest, EmptyOrDigitlessRetries)
{
    SFixture f;
    f.Load("  <Retries></Retries>\r\n");
    EXPECT_EQ(f.settings.m_nRetries, 10);
    f.Load("  <Retries>many</Retries>\r\n");
    EXPECT_EQ(f.settings.m_nRetries, 0);
    f.Load("  <Retries>-3</Retries>\r\n");
    EXPECT_EQ(f.settings.m_nRetries, -3);
}

TEST(CAppSettingsTest, DoLogsOnlyOneIsTrue)
{
    SFixture f;
    f.Load("  <DoLogs>2</DoLogs>\r\n");
    EXPECT_FALSE(f.settings.m_bDoLogs);
    f.Load("  <DoLogs>yes</DoLogs>\r\n");
    EXPECT_FALSE(f.settings.m_bDoLogs);
    f.Load("  <DoLogs>1</DoLogs>\r\n");
    EXPECT_TRUE(f.settings.m_bDoLogs);
}

TEST(CAppSettingsTest, SavesEveryKeyInOrder)
{
    SFixture f;
    CAppSettings& s = f.settings;
    s.m_bDoBackups = false;
    s.m_nRetries = 5;
    s.m_sDefPass = u"p\u00e4ss";
    s.m_sLastLog = u"/data/DB_copy_x/_log.txt";
    s.m_bExtendDBName = false;
    s.m_sSourceCharset = u"WIN1252";
    s.m_RecentDBs.SetCell(0, 0, "/db/a.fdb");
    s.m_RecentDBs.SetCell(0, 1, "localhost:/db/b.fdb");
    s.m_RecentDBs.SetCell(0, 3, "/db/d.fdb");
    s.m_RecentDBs.SetCell(0, 25, "/db/overflow.fdb");
    f.font.SetUseFontHeight(true);
    f.font.CStoredFontSettings::SetFaceName(u"DejaVu Sans");
    f.font.CStoredFontSettings::SetCharset(238);
    f.font.CStoredFontSettings::SetHeight(-16);
    f.font.CStoredFontSettings::SetPitchAndFamily(34);
    s.m_rcSQLEditor = {10, -20, 800, 600};
    s.m_rcMain = {0, 0, -1, -1};
    s.m_sWindowSizes = "CCheckReportDlg=900x500;CDisplayTextDlg=720x480";
    s.m_sLanguageName = u"Deutsch";
    s.m_bLanguageUnset = false;
    s.m_sHomeBase = u"/opt/rowmover/";
    s.m_sAppDir = u"/home/u/.local/share/Rowmover/";
    s.m_bAskBeforeCopy = false;
    s.m_bDoWayBack = false;
    s.m_sBackupDir = u"/backups";
    s.SaveSettings(f.Path());

    EXPECT_EQ(ReadBytes(f.Path()),
              SettingsFile("  <DoBackups>0</DoBackups>\r\n"
                           "  <DoLogs>1</DoLogs>\r\n"
                           "  <Retries>5</Retries>\r\n"
                           "  <DefUser>SYSDBA</DefUser>\r\n"
                           "  <DefPass>p\xC3\xA4ss</DefPass>\r\n"
                           "  <LastLog>/data/DB_copy_x/_log.txt</LastLog>\r\n"
                           "  <LastTxtLog></LastTxtLog>\r\n"
                           "  <LastSqlLog></LastSqlLog>\r\n"
                           "  <RecentDBs>1</RecentDBs>\r\n"
                           "  <ExtendDBName>0</ExtendDBName>\r\n"
                           "  <SourceCharset>WIN1252</SourceCharset>\r\n"
                           "  <VerifyCopies>1</VerifyCopies>\r\n"
                           "  <AskBeforeCopy>0</AskBeforeCopy>\r\n"
                           "  <DoWayBack>0</DoWayBack>\r\n"
                           "  <BackupDir>/backups</BackupDir>\r\n"
                           "  <LogDir></LogDir>\r\n"
                           "  <RecentDB0>/db/a.fdb</RecentDB0>\r\n"
                           "  <RecentDB1>localhost:/db/b.fdb</RecentDB1>\r\n"
                           "  <RecentDB3>/db/d.fdb</RecentDB3>\r\n"
                           "  <UseBuildInFont>0</UseBuildInFont>\r\n"
                           "  <UseFontSettings>1</UseFontSettings>\r\n"
                           "  <UseFontHeight>1</UseFontHeight>\r\n"
                           "  <FontDefName>DejaVu Sans</FontDefName>\r\n"
                           "  <FontDefCharset>238</FontDefCharset>\r\n"
                           "  <FontDefHeight>-16</FontDefHeight>\r\n"
                           "  <FontDefPitch>34</FontDefPitch>\r\n"
                           "  <WinPos_SQLEditor>10;-20;800;600</WinPos_SQLEditor>\r\n"
                           "  <WinPos_Main>0;0;-1;-1</WinPos_Main>\r\n"
                           "  <WinSizes>CCheckReportDlg=900x500;CDisplayTextDlg=720x480</WinSizes>\r\n"
                           "  <LanguageName>Deutsch</LanguageName>\r\n"
                           "  <FolderHomeBase>/opt/rowmover/</FolderHomeBase>\r\n"
                           "  <FolderAppDir>/home/u/.local/share/Rowmover/</FolderAppDir>\r\n"));
}

TEST(CAppSettingsTest, RecentEntriesWithGapsKeepTheirRows)
{
    SFixture f;
    f.settings.m_RecentDBs.SetCell(0, 0, "zero");
    f.settings.m_RecentDBs.SetCell(0, 1, "one");
    f.settings.m_RecentDBs.SetCell(0, 3, "three");
    f.settings.SaveSettings(f.Path());
    const std::string text = ReadBytes(f.Path());
    EXPECT_NE(text.find("<RecentDB3>three</RecentDB3>"), std::string::npos);
    EXPECT_EQ(text.find("<RecentDB2>"), std::string::npos);

    CAppSettings back;
    back.m_RecentDBs.SetCell(0, 2, "stale");
    back.LoadSettings(f.Path());
    EXPECT_EQ(back.m_RecentDBs.GetCell(0, 0), "zero");
    EXPECT_EQ(back.m_RecentDBs.GetCell(0, 1), "one");
    EXPECT_EQ(back.m_RecentDBs.GetCell(0, 2), "");
    EXPECT_EQ(back.m_RecentDBs.GetCell(0, 3), "three");
}

TEST(CAppSettingsTest, SaveThenLoadGivesTheSameRecord)
{
    SFixture f;
    f.settings.m_bDoLogs = false;
    f.settings.m_nRetries = 1000;
    f.settings.m_sDefUser = u"ADMIN";
    f.settings.m_sLastSqlLog = u"/tmp/_sql.txt";
    f.settings.m_bRecentDBs = false;
    f.settings.m_rcSQLEditor = {1, 2, 3, 4};
    f.settings.m_rcMain = {40, 30, 1240, 830};
    f.settings.m_bAskBeforeCopy = false;
    f.settings.SaveSettings(f.Path());
    const std::string first = ReadBytes(f.Path());

    CAppSettings back;
    back.LoadSettings(f.Path());
    EXPECT_FALSE(back.m_bDoLogs);
    EXPECT_EQ(back.m_nRetries, 1000);
    EXPECT_EQ(back.m_sDefUser, u"ADMIN");
    EXPECT_EQ(back.m_sLastSqlLog, u"/tmp/_sql.txt");
    EXPECT_FALSE(back.m_bRecentDBs);
    EXPECT_FALSE(back.m_bAskBeforeCopy);
    EXPECT_EQ(back.m_rcSQLEditor.bottom, 4);
    EXPECT_EQ(back.m_rcMain.left, 40);
    EXPECT_EQ(back.m_rcMain.bottom, 830);
    back.AttachFont(&f.font);
    back.SaveSettings(f.folder.File("again.ini"));
    EXPECT_EQ(ReadBytes(f.folder.File("again.ini")), first);
}

TEST(CAppSettingsTest, WindowPositionPartialValues)
{
    SFixture f;
    f.Load("  <WinPos_SQLEditor>10;20</WinPos_SQLEditor>\r\n");
    EXPECT_EQ(f.settings.m_rcSQLEditor.left, 10);
    EXPECT_EQ(f.settings.m_rcSQLEditor.top, 20);
    EXPECT_EQ(f.settings.m_rcSQLEditor.right, 0);
    EXPECT_EQ(f.settings.m_rcSQLEditor.bottom, 0);

    f.settings.m_rcSQLEditor = {1, 2, 3, 4};
    f.Load("  <WinPos_SQLEditor>7;x;9;9</WinPos_SQLEditor>\r\n");
    EXPECT_EQ(f.settings.m_rcSQLEditor.left, 7);
    EXPECT_EQ(f.settings.m_rcSQLEditor.top, 2);
    EXPECT_EQ(f.settings.m_rcSQLEditor.right, 3);

    f.Load("");
    EXPECT_EQ(f.settings.m_rcSQLEditor.left, 7);
}

TEST(CAppSettingsTest, ParseWindowRectLikeScanf)
{
    SWindowRect rect{1, 1, 1, 1};
    EXPECT_EQ(ParseWindowRect(" -5; +6;7 ;8", rect), 3);
    EXPECT_EQ(rect.left, -5);
    EXPECT_EQ(rect.top, 6);
    EXPECT_EQ(rect.right, 7);
    EXPECT_EQ(rect.bottom, 1);
    EXPECT_EQ(ParseWindowRect("99999999999;-99999999999;0;0", rect), 4);
    EXPECT_EQ(rect.left, 2147483647);
    EXPECT_EQ(rect.top, -2147483647 - 1);
    EXPECT_EQ(ParseWindowRect(";1;2;3", rect), 0);
}

TEST(CAppSettingsTest, FontKeysIgnoredWhenFontSettingsOff)
{
    SFixture f;
    f.Load("  <UseFontSettings>0</UseFontSettings>\r\n  <FontDefName>Comic</FontDefName>\r\n"
           "  <FontDefCharset>77</FontDefCharset>\r\n");
    EXPECT_EQ(f.font.calls, (std::vector<std::string>{"SetUseBuildInFont(0)", "Build", "SetUseFontSettings",
                                                      "SetUseFontHeight", "ApplyTo(1)"}));
    EXPECT_EQ(f.font.GetFaceName(), u"Platform Sans");

    // They are written all the same.
    f.settings.SaveSettings(f.folder.File("out.ini"));
    const std::string text = ReadBytes(f.folder.File("out.ini"));
    EXPECT_NE(text.find("  <UseFontSettings>0</UseFontSettings>\r\n"), std::string::npos);
    EXPECT_NE(text.find("  <FontDefName>Platform Sans</FontDefName>\r\n"), std::string::npos);
    EXPECT_NE(text.find("  <FontDefCharset>0</FontDefCharset>\r\n"), std::string::npos);
    EXPECT_NE(text.find("  <FontDefPitch>34</FontDefPitch>\r\n"), std::string::npos);
}

TEST(CAppSettingsTest, FontKeysReadInOrderWithCurrentValuesAsDefaults)
{
    SFixture f;
    f.Load("  <UseBuildInFont>1</UseBuildInFont>\r\n  <UseFontHeight>1</UseFontHeight>\r\n"
           "  <FontDefName>Noto Serif</FontDefName>\r\n  <FontDefHeight>-20</FontDefHeight>\r\n");
    EXPECT_EQ(f.font.calls,
              (std::vector<std::string>{"SetUseBuildInFont(1)", "Build", "SetUseFontSettings", "SetUseFontHeight",
                                        "SetFaceName", "SetCharset", "SetHeight", "SetPitchAndFamily", "ApplyTo(1)"}));
    EXPECT_TRUE(f.font.GetUseBuildInFont());
    EXPECT_EQ(f.font.GetFaceName(), u"Noto Serif");
    EXPECT_EQ(f.font.GetHeight(), -20);
    EXPECT_EQ(f.font.GetCharset(), 0);
    EXPECT_EQ(f.font.GetPitchAndFamily(), 34);
}

TEST(CAppSettingsTest, StoredFontFieldsRoundTrip)
{
    SFixture f;
    const std::string entries = "  <UseBuildInFont>0</UseBuildInFont>\r\n  <UseFontSettings>1</UseFontSettings>\r\n"
                                "  <UseFontHeight>1</UseFontHeight>\r\n  <FontDefName>Liberation Sans</FontDefName>\r\n"
                                "  <FontDefCharset>204</FontDefCharset>\r\n  <FontDefHeight>-15</FontDefHeight>\r\n"
                                "  <FontDefPitch>18</FontDefPitch>\r\n";
    f.Load(entries);
    f.settings.SaveSettings(f.folder.File("out.ini"));
    EXPECT_NE(ReadBytes(f.folder.File("out.ini")).find(entries), std::string::npos);
}

TEST(CAppSettingsTest, LanguageNameSavedEmptyWhileUnset)
{
    SFixture f;
    WriteBytes(f.folder.File("Languages.ini"), "LanguageDefault=\"Deutsch\"\r\n"
                                               "LanguageName=\"Deutsch\"\r\nLanguageFile=\"German.lng\"\r\n");
    f.settings.m_sHomeBase = Utf8ToWide(f.folder.Path());
    // Start-up applies the list's default language first.
    ASSERT_TRUE(
        ResolveLanguageFile(f.settings.m_sHomeBase, u"", f.settings.m_sLanguageFile, f.settings.m_sLanguageName));
    f.Load("");
    EXPECT_TRUE(f.settings.m_bLanguageUnset);
    EXPECT_EQ(f.settings.m_sLanguageName, u"Deutsch");
    f.settings.SaveSettings(f.Path());
    EXPECT_NE(ReadBytes(f.Path()).find("  <LanguageName></LanguageName>\r\n"), std::string::npos);

    // After the user picks a language its name is saved.
    f.settings.m_sLanguageName = u"Deutsch";
    f.settings.m_bLanguageUnset = false;
    f.settings.SaveSettings(f.Path());
    EXPECT_NE(ReadBytes(f.Path()).find("  <LanguageName>Deutsch</LanguageName>\r\n"), std::string::npos);
}

TEST(CAppSettingsTest, StoredLanguageIsResolvedAndApplied)
{
    SFixture f;
    WriteBytes(f.folder.File("Languages.ini"), "LanguageName=\"Deutsch\"\r\nLanguageFile=\"German.lng\"\r\n");
    f.settings.m_sHomeBase = Utf8ToWide(f.folder.Path());
    std::vector<std::u16string> applied;
    f.settings.SetApplyTexts([&](const std::u16string& path) { applied.push_back(path); });
    f.Load("  <LanguageName>Deutsch</LanguageName>\r\n");
    EXPECT_FALSE(f.settings.m_bLanguageUnset);
    EXPECT_EQ(f.settings.m_sLanguageName, u"Deutsch");
    EXPECT_EQ(f.settings.m_sLanguageFile, f.settings.m_sHomeBase + u"German.lng");
    ASSERT_FALSE(applied.empty());
    EXPECT_EQ(applied.back(), f.settings.m_sLanguageFile);
}

TEST(CAppSettingsTest, FolderKeysAreWrittenButNotRead)
{
    SFixture f;
    f.settings.m_sHomeBase = u"/opt/a/";
    f.settings.m_sAppDir = u"/data/b/";
    f.Load("  <FolderHomeBase>/elsewhere/</FolderHomeBase>\r\n  <FolderAppDir>/other/</FolderAppDir>\r\n");
    EXPECT_EQ(f.settings.m_sHomeBase, u"/opt/a/");
    EXPECT_EQ(f.settings.m_sAppDir, u"/data/b/");
}

TEST(CAppSettingsTest, UnwritableFileIsLeftAlone)
{
    SFixture f;
    f.settings.SaveSettings(f.folder.File("missing-folder/Rowmover.ini"));
    EXPECT_FALSE(FileExists(f.folder.File("missing-folder/Rowmover.ini")));
}

TEST(CAppSettingsSave, AFailedSaveSaysWhyAndKeepsTheOldFile)
{
    CTempFolder folder;
    const std::string path = folder.File("Rowmover.ini");
    AppendTextToFile(path, "old settings");
    CAppSettings settings;
    std::string error;
    EXPECT_FALSE(settings.SaveSettings(folder.File("missing/Rowmover.ini"), &error));
    EXPECT_NE(error, "");
    // A disk that fills while the file is written.
    struct rlimit old
    {
    };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    error.clear();
    const bool saved = settings.SaveSettings(path, &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved);
    EXPECT_NE(error, "");
    EXPECT_EQ(ReadWholeFile(path), "old settings");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(CAppSettingsTest, TheSettingsFileIsTheOwnersAlone)
{
    // It holds the default password: an older version's file readable by
    // every user becomes the owner's alone at the next save.
    SFixture f;
    const mode_t previous = ::umask(022);
    std::ofstream(f.Path()) << "<?xml version=\"1.0\"?>\n<InitFile>\n</InitFile>\n";
    ::chmod(f.Path().c_str(), 0644);
    EXPECT_TRUE(f.settings.SaveSettings(f.Path()));
    struct stat info
    {
    };
    ASSERT_EQ(::stat(f.Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ::umask(previous);
}

TEST(CAppSettingsTest, WayBackAndFoldersRoundTrip)
{
    SFixture f;
    f.settings.m_bDoWayBack = false;
    f.settings.m_sBackupDir = u"/srv/backups";
    f.settings.m_sLogDir = u"/var/log/rowmover";
    ASSERT_TRUE(f.settings.SaveSettings(f.Path()));
    CAppSettings loaded;
    loaded.LoadSettings(f.Path());
    EXPECT_FALSE(loaded.m_bDoWayBack);
    EXPECT_EQ(loaded.m_sBackupDir, u"/srv/backups");
    EXPECT_EQ(loaded.m_sLogDir, u"/var/log/rowmover");
    CAppSettings defaults;
    defaults.LoadSettings(f.Path() + ".missing");
    EXPECT_TRUE(defaults.m_bDoWayBack);
    EXPECT_TRUE(defaults.m_sBackupDir.empty());
}
