#include "config/CLanguageCatalog.h"

#include "core/TextEncoding.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace
{
void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::u16string Wide(const std::string& text)
{
    return Utf8ToWide(text);
}

// A folder with a language list and the language files it names.
struct SInstallation
{
    CTempFolder folder;
    std::u16string Path() const { return Wide(folder.Path()); }
    void Write(const std::string& name, const std::string& text) const { WriteBytes(folder.File(name), text); }
};

const char* const kGermanFrenchList = "LanguageDefault=\"Deutsch\"\r\n"
                                      "LanguageName=\"Deutsch\"\r\nLanguageFile=\"German.lng\"\r\n"
                                      "LanguageName=\"Francais\"\r\nLanguageFile=\"French.lng\"\r\n";
} // namespace

TEST(CLanguageCatalogTest, EmptyPathGivesEnglish)
{
    CLanguageCatalog catalog;
    catalog.Open(u"");
    EXPECT_EQ(catalog.GetText("FrmHelp.Caption", "Help"), u"Help");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmMain_ID_MEN_EXIT), u"Quit\tCtrl+Q");
}

TEST(CLanguageCatalogTest, OneTranslatedKeyChangesOnlyThatText)
{
    SInstallation inst;
    inst.Write("Help.lng", "FrmHelp.Caption=\"Hilfe \xC3\xBC\"\r\n");
    CLanguageCatalog catalog;
    catalog.Open(inst.Path() + u"Help.lng");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmHelp_Caption), u"Hilfe \u00fc");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmHelp_m_BTNOk), u"OK");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmHelp_m_LBLHelp),
              Wide(LanguageText(ELanguageText::FrmHelp_m_LBLHelp).pszEnglish));
}

TEST(CLanguageCatalogTest, EmptyValueShowsEnglish)
{
    SInstallation inst;
    inst.Write("x.lng", "FrmOpt.Caption=\"\"\r\n");
    CLanguageCatalog catalog;
    catalog.Open(inst.Path() + u"x.lng");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmOpt_Caption), u"Options");
}

TEST(CLanguageCatalogTest, TabsLineBreaksAndAmpersandsPassThrough)
{
    SInstallation inst;
    inst.Write("x.lng", "FrmMain.ID_MEN_SOURCE=\"Quelle &w\xC3\xA4hlen\tStrg+S\"\r\nFrmHelp.m_LBLHelp=\"a\r\nb\"\r\n");
    CLanguageCatalog catalog;
    catalog.Open(inst.Path() + u"x.lng");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmMain_ID_MEN_SOURCE), u"Quelle &w\u00e4hlen\tStrg+S");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmHelp_m_LBLHelp), u"a\r\nb");
}

TEST(CLanguageCatalogTest, TranslationWithForeignPlaceholdersFallsBackToEnglish)
{
    SInstallation inst;
    inst.Write("x.lng", "FrmCopy.m_acMCopyFailed=\"%s und %s\"\r\n"
                        "FrmCopy.m_acMCopySuccess=\"%d ok\"\r\n"
                        "FrmCopy.m_acMCurrentTable=\"Tabelle %s (%d\"\r\n"
                        "FrmCopy.m_acMCopyFailed2=\"%d Tabellen fehlgeschlagen, 100%%\"\r\n"
                        "FrmCopy.Caption=\"Kopie %n\"\r\n"
                        "FrmMain.m_aMNoSource=\"Keine Quelle %\"\r\n"
                        "Custom.Key=\"%s\"\r\n");
    CLanguageCatalog catalog;
    catalog.Open(inst.Path() + u"x.lng");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_m_acMCopyFailed), u"%s copy failed.");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_m_acMCopySuccess), u"%s copy successful.");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_m_acMCurrentTable), u"Tabelle %s (%d");
    // The failure summary is formatted with the count, which a translation may show.
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_m_acMCopyFailed2), u"%d Tabellen fehlgeschlagen, 100%%");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmCopy_Caption), u"Database copy process");
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmMain_m_aMNoSource), u"No source database selected.");
    // A key outside the table is held to the conversions of the default given.
    EXPECT_EQ(catalog.GetText("Custom.Key", "plain"), u"plain");
    EXPECT_EQ(catalog.GetText("Custom.Key", "%s here"), u"%s");
}

TEST(CLanguageCatalogTest, FormatSignatureReadsConversions)
{
    EXPECT_EQ(FormatSignature("<TBL_%-18s> %d%% %5.2x"), "sdd");
    EXPECT_EQ(FormatSignature("%f %p %n %*d %"), "?????");
    EXPECT_TRUE(FitsArguments("only %s", "sd"));
    EXPECT_FALSE(FitsArguments("%d first", "sd"));
    EXPECT_FALSE(FitsArguments("%s %d %s", "sd"));
    EXPECT_TRUE(FitsArguments("%999s %.999s", "ss"));
    EXPECT_FALSE(FitsArguments("%1500000000s", "s"));
    EXPECT_FALSE(FitsArguments("%.1000s", "s"));
}

TEST(CLanguageCatalogTest, TableHoldsTheProgramsKeysOnce)
{
    EXPECT_EQ(LanguageTexts().size(), 264u);
    std::set<std::string> keys;
    for (const SLanguageText& text : LanguageTexts())
    {
        EXPECT_TRUE(keys.insert(text.pszKey).second) << text.pszKey;
        EXPECT_NE(std::string(text.pszEnglish), "") << text.pszKey;
        // The English text must itself be usable with the program's arguments.
        EXPECT_TRUE(FitsArguments(text.pszEnglish, text.pszArguments)) << text.pszKey;
        EXPECT_EQ(std::string(text.pszEnglish).find('"'), std::string::npos) << text.pszKey;
    }
    // In key-value files a key also matches as the tail of a longer one, so no
    // key may end with another.
    for (const std::string& a : keys)
    {
        for (const std::string& b : keys)
        {
            const bool tail = b.size() > a.size() && b.compare(b.size() - a.size(), a.size(), a) == 0;
            EXPECT_FALSE(tail) << a << " ends " << b;
        }
    }

    const SLanguageText* found = FindLanguageText("FrmSQL.m_sMCSVFile");
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->pszEnglish, "CSV file (*.csv)|*.csv||");
    EXPECT_EQ(FindLanguageText("FrmSQL.Nothing"), nullptr);
}

TEST(CLanguageCatalogTest, EnglishManualHasItsLayout)
{
    const std::string manual = LanguageText(ELanguageText::FrmHelp_m_LBLHelp).pszEnglish;
    EXPECT_EQ(manual.size(), 2272u);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = manual.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(manual.substr(start, end - start));
    lines.push_back(manual.substr(start));
    ASSERT_EQ(lines.size(), 59u);
    EXPECT_EQ(lines[0], "Manual");
    EXPECT_EQ(lines[57], "is also possible to execute multiple SQL statements one after another.");
    EXPECT_EQ(lines[58], "");
    for (int empty : {2, 5, 9, 12, 15, 18, 21, 22, 24, 27, 30, 33, 36, 39, 42, 45, 48, 51, 55, 59})
        EXPECT_EQ(lines[empty - 1], "") << empty;
}

TEST(CLanguageCatalogTest, ResolveDefaultAndNamedLanguages)
{
    SInstallation inst;
    inst.Write("Languages.ini", kGermanFrenchList);
    std::u16string file;
    std::u16string name = u"before";

    EXPECT_TRUE(ResolveLanguageFile(inst.Path(), u"", file, name));
    EXPECT_EQ(file, inst.Path() + u"German.lng");
    EXPECT_EQ(name, u"Deutsch");

    EXPECT_TRUE(ResolveLanguageFile(inst.Path(), u"Francais", file, name));
    EXPECT_EQ(file, inst.Path() + u"French.lng");
    EXPECT_EQ(name, u"Francais");

    EXPECT_FALSE(ResolveLanguageFile(inst.Path(), u"deutsch", file, name));
    EXPECT_EQ(file, u"");
    EXPECT_EQ(name, u"Francais");

    EXPECT_FALSE(ResolveLanguageFile(inst.Path(), u"English", file, name));
    EXPECT_EQ(file, u"");
}

TEST(CLanguageCatalogTest, ResolveAppliesTextsAsItGoes)
{
    SInstallation inst;
    inst.Write("Languages.ini", kGermanFrenchList);
    std::vector<std::u16string> applied;
    std::u16string file;
    std::u16string name;
    ResolveLanguageFile(inst.Path(), u"Francais", file, name,
                        [&](const std::u16string& path) { applied.push_back(path); });
    ASSERT_EQ(applied.size(), 2u);
    EXPECT_EQ(applied[0], u"");
    EXPECT_EQ(applied[1], inst.Path() + u"French.lng");

    applied.clear();
    SInstallation none;
    EXPECT_FALSE(ResolveLanguageFile(none.Path(), u"Deutsch", file, name,
                                     [&](const std::u16string& path) { applied.push_back(path); }));
    EXPECT_EQ(applied, (std::vector<std::u16string>{u"", u""}));
}

TEST(CLanguageCatalogTest, EmptyFileEntryEndsTheWalk)
{
    SInstallation inst;
    inst.Write("Languages.ini", "LanguageName=\"Deutsch\"\r\nLanguageFile=\"German.lng\"\r\n"
                                "LanguageName=\"Francais\"\r\nLanguageFile=\"\"\r\n"
                                "LanguageName=\"Italiano\"\r\nLanguageFile=\"Italian.lng\"\r\n");
    std::u16string file;
    std::u16string name;
    EXPECT_TRUE(ResolveLanguageFile(inst.Path(), u"Deutsch", file, name));
    EXPECT_FALSE(ResolveLanguageFile(inst.Path(), u"Italiano", file, name));
    EXPECT_EQ(file, u"");
}

TEST(CLanguageCatalogTest, LastPairWithTheNameWins)
{
    SInstallation inst;
    inst.Write("Languages.ini", "LanguageName=\"English\"\r\nLanguageFile=\"English1.lng\"\r\n"
                                "LanguageName=\"English\"\r\nLanguageFile=\"English2.lng\"\r\n");
    std::u16string file;
    std::u16string name;
    EXPECT_TRUE(ResolveLanguageFile(inst.Path(), u"English", file, name));
    EXPECT_EQ(file, inst.Path() + u"English2.lng");
}

#ifdef ROWMOVER_PROGRAM_DIR
namespace
{
std::u16string ProgramDir()
{
    return Wide(ROWMOVER_PROGRAM_DIR);
}
} // namespace

TEST(CLanguageCatalogTest, ShippedListStartsInEnglishAndOffersGerman)
{
    std::u16string file = u"stale";
    std::u16string name;
    EXPECT_FALSE(ResolveLanguageFile(ProgramDir(), u"", file, name));
    EXPECT_EQ(file, u"");
    ASSERT_TRUE(ResolveLanguageFile(ProgramDir(), u"Deutsch", file, name));
    EXPECT_EQ(file, ProgramDir() + u"German.lng");
}

TEST(CLanguageCatalogTest, ShippedGermanTranslatesEveryKey)
{
    std::u16string file;
    std::u16string name;
    ASSERT_TRUE(ResolveLanguageFile(ProgramDir(), u"Deutsch", file, name));
    CProfileFile raw(false);
    ASSERT_TRUE(raw.Load(file));
    CLanguageCatalog catalog;
    catalog.Open(file);
    int differing = 0;
    for (const SLanguageText& text : LanguageTexts())
    {
        const std::string stored = raw.GetString(text.pszKey, "");
        ASSERT_NE(stored, "") << text.pszKey;
        // Placeholders stand in the same order as in English.
        EXPECT_EQ(FormatSignature(stored).substr(0, FormatSignature(text.pszEnglish).size()),
                  FormatSignature(text.pszEnglish))
            << text.pszKey;
        // The catalogue hands out the translation itself, not the fallback.
        EXPECT_EQ(catalog.GetText(text.pszKey, text.pszEnglish), Wide(stored)) << text.pszKey;
        if (stored != text.pszEnglish)
            ++differing;
    }
    EXPECT_GT(differing, 100);
    EXPECT_EQ(catalog.GetText(ELanguageText::FrmMain_ID_MEN_EXIT), u"Beenden\tStrg+Q");

    // Every entry of the file is one of the program's keys.
    const std::string body = raw.Body();
    std::size_t entries = 0;
    for (std::size_t pos = 0; (pos = body.find("=\"", pos)) != std::string::npos; pos += 2)
        ++entries;
    EXPECT_EQ(entries, LanguageTexts().size());
}
#endif
