#include "config/CProfileFile.h"

#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

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

CProfileFile KeyValueFile(const std::string& text)
{
    CProfileFile file(false);
    file.Parse(text);
    return file;
}
} // namespace

TEST(CProfileFileTest, XmlSaveWritesExactBytes)
{
    CTempFolder folder;
    CProfileFile file(true);
    file.WriteInt("DoLogs", 1);
    file.WriteInt("Retries", 3);
    ASSERT_TRUE(file.Save(folder.File("Rowmover.ini")));
    EXPECT_EQ(ReadBytes(folder.File("Rowmover.ini")),
              kDeclaration + "<InitFile>\r\n  <DoLogs>1</DoLogs>\r\n  <Retries>3</Retries>\r\n</InitFile>\r\n");
}

TEST(CProfileFileTest, XmlWithoutEntriesSavesHeaderAndFooterOnly)
{
    CTempFolder folder;
    CProfileFile file(true);
    ASSERT_TRUE(file.Save(folder.File("empty.ini")));
    EXPECT_EQ(ReadBytes(folder.File("empty.ini")), kDeclaration + "<InitFile>\r\n</InitFile>\r\n");
}

TEST(CProfileFileTest, KeyValueSaveWritesExactBytes)
{
    CTempFolder folder;
    CProfileFile file(false);
    file.WriteString("LanguageName", "Deutsch");
    ASSERT_TRUE(file.Save(folder.File("Languages.ini")));
    EXPECT_EQ(ReadBytes(folder.File("Languages.ini")), "LanguageName=\"Deutsch\"\r\n");
}

TEST(CProfileFileTest, WriteBoolAndNegativeIntLayout)
{
    CProfileFile file(false);
    file.WriteBool("A", true);
    file.WriteBool("B", false);
    file.WriteInt("C", -42);
    EXPECT_EQ(file.BuildText(), "A=\"1\"\r\nB=\"0\"\r\nC=\"-42\"\r\n");
}

TEST(CProfileFileTest, LoadAndSaveReproduceFileByteForByte)
{
    CTempFolder folder;
    const std::string xml = kDeclaration + "<InitFile>\r\n  <DefUser>SYSDBA</DefUser>\r\n  <Multi>a\r\nb</Multi>\r\n"
                                           "  <Empty></Empty>\r\n</InitFile>\r\n";
    const std::string keyValue = "; comment\r\nFrmHelp.Caption=\"Hilfe\"\r\nX=\"line1\r\nline2\"\r\ntrailing text";
    WriteBytes(folder.File("in.xml"), xml);
    WriteBytes(folder.File("in.lng"), keyValue);

    CProfileFile xmlFile(true);
    ASSERT_TRUE(xmlFile.Load(folder.File("in.xml")));
    ASSERT_TRUE(xmlFile.Save(folder.File("out.xml")));
    EXPECT_EQ(ReadBytes(folder.File("out.xml")), xml);

    CProfileFile kvFile(false);
    ASSERT_TRUE(kvFile.Load(folder.File("in.lng")));
    ASSERT_TRUE(kvFile.Save(folder.File("out.lng")));
    EXPECT_EQ(ReadBytes(folder.File("out.lng")), keyValue);
}

TEST(CProfileFileTest, LoadByWidePath)
{
    CTempFolder folder;
    WriteBytes(folder.File("Sprache \xC3\xBC.lng"), "K=\"v\"\r\n");
    CProfileFile file(false);
    ASSERT_TRUE(file.Load(std::u16string(folder.Path().begin(), folder.Path().end()) + u"Sprache \u00fc.lng"));
    EXPECT_EQ(file.GetString("K", "d"), "v");
}

TEST(CProfileFileTest, OtherRootNameIsReadAndKept)
{
    CTempFolder folder;
    const std::string text = kDeclaration + "<Settings>\r\n  <DoLogs>0</DoLogs>\r\n</Settings>\r\n";
    WriteBytes(folder.File("s.ini"), text);
    CProfileFile file(true);
    ASSERT_TRUE(file.Load(folder.File("s.ini")));
    EXPECT_EQ(file.RootName(), "Settings");
    EXPECT_FALSE(file.GetBool("DoLogs", true));
    ASSERT_TRUE(file.Save(folder.File("s2.ini")));
    EXPECT_EQ(ReadBytes(folder.File("s2.ini")), text);
}

TEST(CProfileFileTest, XmlWithoutDeclarationEndFailsAndGivesDefaults)
{
    CTempFolder folder;
    WriteBytes(folder.File("bad.ini"), "<InitFile>\r\n  <DoLogs>0</DoLogs>\r\n</InitFile>\r\n");
    CProfileFile file(true);
    EXPECT_FALSE(file.Load(folder.File("bad.ini")));
    EXPECT_TRUE(file.GetBool("DoLogs", true));
    EXPECT_EQ(file.GetInt("Retries", 10), 10);
    EXPECT_EQ(file.GetString("DefUser", "SYSDBA"), "SYSDBA");
    EXPECT_EQ(file.RootName(), "InitFile");
}

TEST(CProfileFileTest, XmlWithoutClosingRootTagFails)
{
    CProfileFile file(true);
    EXPECT_FALSE(file.Parse(kDeclaration + "<Root>\r\n  <A>1</A>\r\n"));
    EXPECT_EQ(file.Body(), "");
    EXPECT_EQ(file.GetString("A", "default"), "default");
    // The root name read before the failure stays, as the header shows.
    EXPECT_EQ(file.RootName(), "Root");
}

TEST(CProfileFileTest, XmlBodyStartSkipsOnlyOneLineEnd)
{
    CProfileFile lf(true);
    ASSERT_TRUE(lf.Parse("<?xml?><R>\n<A>1</A></R>"));
    EXPECT_EQ(lf.Body(), "<A>1</A>");
    CProfileFile twice(true);
    ASSERT_TRUE(twice.Parse("<?xml?><R>\r\n\r\n<A>1</A>\r\n</R>"));
    EXPECT_EQ(twice.Body(), "\r\n<A>1</A>\r\n");
}

TEST(CProfileFileTest, EmptyFileFailsAndMissingFileFails)
{
    CTempFolder folder;
    WriteBytes(folder.File("empty.lng"), "");
    CProfileFile file(false);
    EXPECT_FALSE(file.Load(folder.File("empty.lng")));
    EXPECT_FALSE(file.Load(folder.File("missing.lng")));
    EXPECT_EQ(file.GetString("K", "d"), "d");
    // The file was closed: it can be removed and rewritten at once.
    EXPECT_TRUE(RemoveFile(folder.File("empty.lng")));
}

TEST(CProfileFileTest, FolderLoadsAsFailure)
{
    CTempFolder folder;
    CProfileFile file(false);
    EXPECT_FALSE(file.Load(folder.Path()));
    CProfileFile xml(true);
    EXPECT_FALSE(xml.Load(folder.Path()));
}

TEST(CProfileFileTest, SaveToUnopenablePathFails)
{
    CTempFolder folder;
    CProfileFile file(true);
    EXPECT_FALSE(file.Save(folder.File("no-such-folder/x.ini")));
}

TEST(CProfileFileTest, TextIsCutAtFirstZeroByte)
{
    CTempFolder folder;
    WriteBytes(folder.File("z.lng"), std::string("A=\"1\"\r\n\0B=\"2\"\r\n", 15));
    CProfileFile file(false);
    ASSERT_TRUE(file.Load(folder.File("z.lng")));
    EXPECT_EQ(file.GetString("A", ""), "1");
    EXPECT_EQ(file.GetString("B", "none"), "none");

    // UTF-16 text starts with a zero byte after its first letter.
    WriteBytes(folder.File("utf16.lng"), std::string("A\0=\0", 4));
    CProfileFile wide(false);
    EXPECT_TRUE(wide.Load(folder.File("utf16.lng")));
    EXPECT_EQ(wide.Body(), "A");
}

TEST(CProfileFileTest, EmptyValueGivesDefaultButNextStringGivesEmpty)
{
    CProfileFile file = KeyValueFile("A=\"\"\r\nA=\"second\"\r\n");
    EXPECT_EQ(file.GetString("A", "default"), "default");
    EXPECT_EQ(file.GetInt("A", 7), 7);
    EXPECT_TRUE(file.GetBool("A", true));
    CProfileFile walk = KeyValueFile("A=\"\"\r\nA=\"second\"\r\n");
    EXPECT_EQ(walk.GetNextString("A"), "");
    EXPECT_EQ(walk.GetNextString("A"), "second");
}

TEST(CProfileFileTest, CursorWalksLanguagePairs)
{
    CProfileFile file = KeyValueFile("LanguageDefault=\"Deutsch\"\r\n"
                                     "LanguageName=\"Deutsch\"\r\nLanguageFile=\"German.lng\"\r\n"
                                     "LanguageName=\"Francais\"\r\nLanguageFile=\"French.lng\"\r\n");
    EXPECT_EQ(file.GetString("LanguageName", ""), "Deutsch");
    EXPECT_EQ(file.GetString("LanguageFile", ""), "German.lng");
    EXPECT_EQ(file.GetNextString("LanguageName"), "Francais");
    EXPECT_EQ(file.GetNextString("LanguageFile"), "French.lng");
    EXPECT_EQ(file.GetNextString("LanguageName"), "");
    EXPECT_EQ(file.GetNextString("LanguageFile"), "");
}

TEST(CProfileFileTest, FailedLookupLeavesCursorAlone)
{
    CProfileFile file = KeyValueFile("A=\"1\"\r\nB=\"2\"\r\nA=\"3\"\r\n");
    EXPECT_EQ(file.GetString("B", ""), "2");
    const std::size_t afterB = file.Cursor();
    EXPECT_EQ(file.GetString("Missing", "d"), "d");
    EXPECT_EQ(file.Cursor(), afterB);
    EXPECT_EQ(file.GetNextString("A"), "3");
    // The first occurrence wins for the getters.
    EXPECT_EQ(file.GetString("A", ""), "1");
}

TEST(CProfileFileTest, KeyValueKeyMatchesAsTailOfLongerKey)
{
    CProfileFile file = KeyValueFile("DefPass=\"secret\"\r\n");
    EXPECT_EQ(file.GetString("Pass", "none"), "secret");
    EXPECT_EQ(file.GetString("DefPass", "none"), "secret");
    EXPECT_EQ(file.GetString("efPas", "none"), "none");
}

TEST(CProfileFileTest, XmlTagsMatchWholeNamesOnly)
{
    CProfileFile file(true);
    ASSERT_TRUE(file.Parse(kDeclaration + "<InitFile>\r\n  <DefPass>secret</DefPass>\r\n</InitFile>\r\n"));
    EXPECT_EQ(file.GetString("Pass", "none"), "none");
    EXPECT_EQ(file.GetString("DefPass", "none"), "secret");
}

TEST(CProfileFileTest, KeyValueValuesKeepLineBreaksAndStopAtQuote)
{
    CProfileFile file = KeyValueFile("A=\"one\r\ntwo\"\r\nB=\"say \"hi\"\"\r\n");
    EXPECT_EQ(file.GetString("A", ""), "one\r\ntwo");
    EXPECT_EQ(file.GetString("B", ""), "say ");
}

TEST(CProfileFileTest, OnlyDelimitersCount)
{
    CProfileFile file = KeyValueFile(";A=\"commented\"\r\nB =\"spaced\"\r\n");
    EXPECT_EQ(file.GetString("A", "d"), "commented");
    EXPECT_EQ(file.GetString("B", "d"), "d");
}

TEST(CProfileFileTest, GetBoolIsTrueOnlyForOne)
{
    CProfileFile file = KeyValueFile("T=\"true\"\r\nO=\"1\"\r\nZ=\"0\"\r\nW=\"2\"\r\nY=\"yes\"\r\nS=\" 1x\"\r\n");
    EXPECT_FALSE(file.GetBool("T", true));
    EXPECT_TRUE(file.GetBool("O", false));
    EXPECT_FALSE(file.GetBool("Z", true));
    EXPECT_FALSE(file.GetBool("W", true));
    EXPECT_FALSE(file.GetBool("Y", true));
    EXPECT_TRUE(file.GetBool("S", false));
    EXPECT_TRUE(file.GetBool("Missing", true));
    EXPECT_FALSE(file.GetBool("Missing", false));
}

TEST(CProfileFileTest, GetIntConvertsLikeStrtol)
{
    CProfileFile file =
        KeyValueFile("A=\"  -12abc\"\r\nB=\"abc\"\r\nC=\"+7\"\r\nD=\"99999999999\"\r\nE=\"-99999999999\"\r\n");
    EXPECT_EQ(file.GetInt("A", 5), -12);
    EXPECT_EQ(file.GetInt("B", 5), 0);
    EXPECT_EQ(file.GetInt("C", 5), 7);
    // Out-of-range numbers saturate rather than wrap.
    EXPECT_EQ(file.GetInt("D", 5), 2147483647);
    EXPECT_EQ(file.GetInt("E", 5), -2147483647 - 1);
}

TEST(CProfileFileTest, ClearBodyKeepsRootAndResetsCursor)
{
    CProfileFile file(true);
    ASSERT_TRUE(file.Parse(kDeclaration + "<Other>\r\n  <A>1</A>\r\n</Other>\r\n"));
    EXPECT_EQ(file.GetString("A", ""), "1");
    file.ClearBody();
    EXPECT_EQ(file.Cursor(), 0u);
    file.WriteString("B", "2");
    EXPECT_EQ(file.BuildText(), kDeclaration + "<Other>\r\n  <B>2</B>\r\n</Other>\r\n");
}

TEST(CProfileFileTest, SetRootNameIsIgnoredInKeyValueMode)
{
    CProfileFile file(false);
    file.SetRootName("Root");
    file.WriteString("A", "1");
    EXPECT_EQ(file.BuildText(), "A=\"1\"\r\n");
}

TEST(CProfileFileTest, ValueCannotEndItsEntryOrTheRootEarly)
{
    CTempFolder folder;
    CProfileFile file(true);
    file.WriteString("DefPass", "pa</DefPass>ss");
    file.WriteString("LastLog", "/home/x</InitFile>/log.txt");
    file.WriteString("Retries", "3");
    ASSERT_TRUE(file.Save(folder.File("s.ini")));

    CProfileFile back(true);
    ASSERT_TRUE(back.Load(folder.File("s.ini")));
    EXPECT_EQ(back.GetString("DefPass", ""), "pa");
    EXPECT_EQ(back.GetString("LastLog", ""), "/home/x");
    // The entry after the odd value survives.
    EXPECT_EQ(back.GetInt("Retries", 10), 3);

    CProfileFile kv(false);
    kv.WriteString("A", "cut\"here");
    kv.WriteString("B", "kept");
    EXPECT_EQ(kv.BuildText(), "A=\"cut\"\r\nB=\"kept\"\r\n");
}

TEST(CProfileFileTest, ValueWithOtherMarkupIsKept)
{
    CProfileFile file(true);
    file.WriteString("DefPass", "a<b>&c\"d");
    CProfileFile back(true);
    ASSERT_TRUE(back.Parse(file.BuildText()));
    EXPECT_EQ(back.GetString("DefPass", ""), "a<b>&c\"d");
}
