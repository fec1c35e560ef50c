// Damaged settings, language lists and language files: truncated, binary,
// huge, or with values that never end. Each read gives the stored value or
// the built-in default, never a piece of something else, and no file is
// changed by reading it.
#include "config/CAppSettings.h"
#include "config/CLanguageCatalog.h"
#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "support/CTempDatabase.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <vector>

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

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

constexpr size_t HugeBytes = 100u * 1024u * 1024u;

// Lines of filler that hold no delimiter of either layout.
std::string Filler(size_t size)
{
    std::string line(99, 'x');
    line += '\n';
    std::string text;
    text.reserve(size + line.size());
    while (text.size() < size)
        text += line;
    return text;
}

// The settings the tests store, all different from the defaults.
CAppSettings Stored()
{
    CAppSettings settings;
    settings.m_bDoBackups = false;
    settings.m_bDoLogs = false;
    settings.m_nRetries = 7;
    settings.m_sDefUser = u"ALICE";
    settings.m_sDefPass = u"secret";
    return settings;
}

// Each value either as stored or the default, never anything else.
void ExpectStoredOrDefault(const CAppSettings& read, const std::string& context)
{
    EXPECT_TRUE(read.m_nRetries == 7 || read.m_nRetries == 10) << context << ": " << read.m_nRetries;
    EXPECT_TRUE(read.m_sDefUser == u"ALICE" || read.m_sDefUser == u"SYSDBA") << context;
    EXPECT_TRUE(read.m_sDefPass == u"secret" || read.m_sDefPass == u"velvetoak") << context;
}

std::u16string Wide(const std::string& text)
{
    return Utf8ToWide(text);
}

// Every text of the catalogue, in table order.
std::vector<std::u16string> AllTexts(const std::string& languageFile)
{
    CLanguageCatalog catalog;
    catalog.Open(Wide(languageFile));
    std::vector<std::u16string> texts;
    for (const SLanguageText& text : LanguageTexts())
        texts.push_back(catalog.GetText(text.pszKey, text.pszEnglish));
    return texts;
}

std::string ShippedGerman()
{
#ifdef ROWMOVER_PROGRAM_DIR
    return ReadWholeFile(std::string(ROWMOVER_PROGRAM_DIR) + "German.lng");
#else
    return {};
#endif
}
} // namespace

TEST(BadConfigFile, SettingsCutAtEveryByteGiveStoredValuesOrDefaults)
{
    CTempFolder folder;
    const std::string path = folder.File("Rowmover.ini");
    CAppSettings stored = Stored();
    stored.SaveSettings(path);
    const std::string whole = ReadWholeFile(path);
    ASSERT_GT(whole.size(), 100u);
    for (size_t cut = 0; cut <= whole.size(); ++cut)
    {
        WriteBytes(path, whole.substr(0, cut));
        CAppSettings read;
        read.LoadSettings(path);
        ExpectStoredOrDefault(read, "cut at " + std::to_string(cut));
        EXPECT_TRUE(ReadBytes(path) == whole.substr(0, cut)) << "reading changed the file";
    }
    CAppSettings read;
    read.LoadSettings(path);
    EXPECT_EQ(read.m_nRetries, 7);
    EXPECT_EQ(read.m_sDefUser, u"ALICE");
}

TEST(BadConfigFile, BinarySettingsGiveDefaults)
{
    CTempFolder folder;
    const std::string path = folder.File("Rowmover.ini");
    for (unsigned seed = 1; seed <= 20; ++seed)
    {
        const std::string bytes = RandomBytes(64 * 1024, seed);
        WriteBytes(path, bytes);
        CAppSettings read;
        read.LoadSettings(path);
        EXPECT_EQ(read.m_nRetries, 10);
        EXPECT_EQ(read.m_sDefUser, u"SYSDBA");
        EXPECT_TRUE(read.m_bDoLogs);
        EXPECT_TRUE(ReadBytes(path) == bytes) << "reading changed the file";
    }
}

TEST(BadConfigFile, SettingsWhoseValuesNeverEndGiveDefaults)
{
    CTempFolder folder;
    const std::string path = folder.File("Rowmover.ini");
    const std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n"
                             "  <Retries>7\r\n  <DefUser>ALICE</DefUser>\r\n  <DefPass>secret\r\n</InitFile>\r\n";
    WriteBytes(path, text);
    CAppSettings read;
    read.LoadSettings(path);
    EXPECT_EQ(read.m_nRetries, 10);
    EXPECT_EQ(read.m_sDefUser, u"ALICE");
    EXPECT_EQ(read.m_sDefPass, u"velvetoak");
    EXPECT_EQ(ReadWholeFile(path), text);
}

TEST(BadConfigFile, HugeSettingsFileIsReadToItsEnd)
{
    CTempFolder folder;
    const std::string path = folder.File("Rowmover.ini");
    {
        std::ofstream out(path, std::ios::binary);
        out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n"
            << Filler(HugeBytes) << "  <Retries>7</Retries>\r\n  <DefUser>ALICE</DefUser>\r\n</InitFile>\r\n";
    }
    const auto size = std::filesystem::file_size(path);
    ASSERT_GT(size, HugeBytes);
    CAppSettings read;
    read.LoadSettings(path);
    EXPECT_EQ(read.m_nRetries, 7);
    EXPECT_EQ(read.m_sDefUser, u"ALICE");
    EXPECT_EQ(std::filesystem::file_size(path), size);
}

TEST(BadConfigFile, LanguageListCutAtEveryByteNamesAListedFileOrEnglish)
{
    CTempFolder folder;
    WriteBytes(folder.File("German.lng"), "FrmCopy.m_BTNStop=\"STOPP\"\r\n");
    WriteBytes(folder.File("French.lng"), "FrmCopy.m_BTNStop=\"ARRET\"\r\n");
    const std::string list =
        "LanguageDefault=\"Deutsch\"\r\nLanguageName=\"Deutsch\"\r\nLanguageFile=\"German.lng\"\r\n"
        "LanguageName=\"Francais\"\r\nLanguageFile=\"French.lng\"\r\n";
    for (size_t cut = 0; cut <= list.size(); ++cut)
    {
        WriteBytes(folder.File("Languages.ini"), list.substr(0, cut));
        for (const std::u16string& wanted : {std::u16string(), std::u16string(u"Francais")})
        {
            std::u16string file;
            std::u16string name;
            ResolveLanguageFile(Wide(folder.Path()), wanted, file, name);
            EXPECT_TRUE(file.empty() || file == Wide(folder.File("German.lng")) ||
                        file == Wide(folder.File("French.lng")))
                << "cut at " << cut << ": " << WideToUtf8(file);
        }
        EXPECT_EQ(ReadWholeFile(folder.File("Languages.ini")), list.substr(0, cut));
    }
}

TEST(BadConfigFile, BinaryAndHugeLanguageListsGiveEnglishOrTheListedFile)
{
    CTempFolder folder;
    WriteBytes(folder.File("German.lng"), "FrmCopy.m_BTNStop=\"STOPP\"\r\n");
    for (unsigned seed = 1; seed <= 10; ++seed)
    {
        WriteBytes(folder.File("Languages.ini"), RandomBytes(64 * 1024, seed));
        std::u16string file;
        std::u16string name;
        EXPECT_FALSE(ResolveLanguageFile(Wide(folder.Path()), u"", file, name));
        EXPECT_EQ(file, u"");
    }
    {
        std::ofstream out(folder.File("Languages.ini"), std::ios::binary | std::ios::trunc);
        out << Filler(HugeBytes)
            << "LanguageDefault=\"Deutsch\"\r\nLanguageName=\"Deutsch\"\r\nLanguageFile=\"German.lng\"\r\n";
    }
    std::u16string file;
    std::u16string name;
    EXPECT_TRUE(ResolveLanguageFile(Wide(folder.Path()), u"", file, name));
    EXPECT_EQ(file, Wide(folder.File("German.lng")));
}

TEST(BadConfigFile, LanguageFileCutAnywhereGivesTranslationsOrEnglish)
{
    const std::string german = ShippedGerman();
    if (german.empty())
        GTEST_SKIP() << "the shipped German.lng is not next to the test program";
    CTempFolder folder;
    const std::string path = folder.File("German.lng");
    WriteBytes(path, german);
    const std::vector<std::u16string> full = AllTexts(path);
    // Every 61st byte and the last few: each cut falls somewhere else in an
    // entry, a key or a value.
    for (size_t cut = 0; cut <= german.size(); cut += (cut + 8 >= german.size() ? 1 : 61))
    {
        WriteBytes(path, german.substr(0, cut));
        const std::vector<std::u16string> texts = AllTexts(path);
        for (size_t i = 0; i < texts.size(); ++i)
        {
            const std::u16string english = Wide(LanguageTexts()[i].pszEnglish);
            EXPECT_TRUE(texts[i] == full[i] || texts[i] == english)
                << "cut at " << cut << ", " << LanguageTexts()[i].pszKey << ": " << WideToUtf8(texts[i]);
        }
    }
}

TEST(BadConfigFile, BinaryLanguageFileGivesEnglish)
{
    CTempFolder folder;
    const std::string path = folder.File("German.lng");
    for (unsigned seed = 1; seed <= 10; ++seed)
    {
        const std::string bytes = RandomBytes(64 * 1024, seed);
        WriteBytes(path, bytes);
        const std::vector<std::u16string> texts = AllTexts(path);
        for (size_t i = 0; i < texts.size(); ++i)
            EXPECT_EQ(texts[i], Wide(LanguageTexts()[i].pszEnglish)) << LanguageTexts()[i].pszKey;
        EXPECT_TRUE(ReadBytes(path) == bytes) << "reading changed the file";
    }
}

TEST(BadConfigFile, HugeLanguageFileIsReadToItsEnd)
{
    CTempFolder folder;
    const std::string path = folder.File("German.lng");
    {
        std::ofstream out(path, std::ios::binary);
        out << Filler(HugeBytes) << "FrmCopy.m_BTNStop=\"STOPP\"\r\n";
    }
    CLanguageCatalog catalog;
    catalog.Open(Wide(path));
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_m_BTNStop), u"STOPP");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_Caption), u"Database copy process");
}

TEST(BadConfigFile, LanguageValueWithoutItsEndTakesTheTextUpToTheNextQuote)
{
    CTempFolder folder;
    const std::string path = folder.File("German.lng");
    // Values may span lines, so an unterminated one runs to the next quote;
    // the entry after it is still found, and one left open at the end of the
    // file gives English.
    WriteBytes(path, "FrmCopy.Caption=\"Kopie\r\nFrmCopy.m_BTNStop=\"STOPP\"\r\nFrmCopy.m_LISOutput=\"Tabellen");
    CLanguageCatalog catalog;
    catalog.Open(Wide(path));
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_m_BTNStop), u"STOPP");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_m_LISOutput), u"Table name");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_Caption), u"Kopie\r\nFrmCopy.m_BTNStop=");
}
