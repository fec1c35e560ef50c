#include "ui/CFontSettings.h"

#include "config/CAppSettings.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <fstream>

namespace
{
// A dialog whose template font differs from the message-box font in face and size.
QFont TemplateFont()
{
    QFont font("Template Face");
    font.setPixelSize(17);
    return font;
}

QFont MessageFont()
{
    QFont font("Message Face");
    font.setPixelSize(13);
    return font;
}
} // namespace

class CFontSettingsTest : public QObject
{
    Q_OBJECT

  private slots:
    void init() { QApplication::setFont(MessageFont(), "QMessageBox"); }

    void BuildTakesMessageFontFaceButTemplateHeight()
    {
        QWidget dialog;
        dialog.setFont(TemplateFont());
        CFontSettings font(&dialog);
        QCOMPARE(QString::fromStdU16String(font.GetFaceName()), QString("Message Face"));
        QCOMPARE(font.GetHeight(), -17);
        QCOMPARE(font.GetBuiltInHeight(), -17);
        QCOMPARE(font.SystemFont().nHeight, -13);
    }

    void BuildWithHeightTakesMessageFontHeight()
    {
        QWidget dialog;
        dialog.setFont(TemplateFont());
        CFontSettings font(&dialog);
        font.SetUseFontHeight(true);
        font.Build();
        QCOMPARE(font.GetHeight(), -13);
        QCOMPARE(font.CurrentFont().font.pixelSize(), 13);
    }

    void BuiltInFontIgnoresSystemFont()
    {
        QWidget dialog;
        dialog.setFont(TemplateFont());
        CFontSettings font(&dialog);
        font.SetUseBuildInFont(true);
        font.Build();
        QCOMPARE(QString::fromStdU16String(font.GetFaceName()), QString("Template Face"));
        QCOMPARE(font.GetHeight(), -17);
    }

    void SetHeightIgnoredWithoutFontHeight()
    {
        QWidget dialog;
        dialog.setFont(TemplateFont());
        CFontSettings font(&dialog);
        font.SetHeight(-30);
        QCOMPARE(font.GetHeight(), -17);
        font.SetUseFontHeight(true);
        font.SetHeight(-30);
        QCOMPARE(font.GetHeight(), -30);
        QCOMPARE(font.CurrentFont().font.pixelSize(), 30);
    }

    void ChosenFontKeepsTemplateHeightWithoutFontHeight()
    {
        QWidget dialog;
        dialog.setFont(TemplateFont());
        CFontSettings font(&dialog);
        QFont chosen("Chosen Face");
        chosen.setPixelSize(40);
        font.SetFromChosenFont(chosen);
        QCOMPARE(QString::fromStdU16String(font.GetFaceName()), QString("Chosen Face"));
        QCOMPARE(font.GetHeight(), -17);

        QLabel label("x", &dialog);
        font.ApplyTo(&dialog, true);
        QCOMPARE(dialog.font().pixelSize(), 17);
        QCOMPARE(label.font().family(), QString("Chosen Face"));

        font.SetUseFontHeight(true);
        font.SetFromChosenFont(chosen);
        QCOMPARE(font.GetHeight(), -40);
    }

    void CharsetAndPitchAreKeptAsStored()
    {
        QWidget dialog;
        CFontSettings font(&dialog);
        font.SetCharset(238);
        font.SetPitchAndFamily(0x31);
        QCOMPARE(int(font.GetCharset()), 238);
        QCOMPARE(int(font.GetPitchAndFamily()), 0x31);
        QVERIFY(font.CurrentFont().font.fixedPitch());
        QCOMPARE(font.CurrentFont().font.styleHint(), QFont::Monospace);
        // A chosen font has no character set of its own: the stored one stays.
        font.SetFromChosenFont(QFont("Chosen Face"));
        QCOMPARE(int(font.GetCharset()), 238);
    }

    void FaceNameIsLimitedToTheStoredField()
    {
        QWidget dialog;
        CFontSettings font(&dialog);
        font.SetFaceName(std::u16string(40, u'A'));
        QCOMPARE(font.GetFaceName().size(), std::size_t(31));
        // A surrogate pair across the limit is dropped whole.
        std::u16string name(30, u'B');
        name += u"\U0001F600tail";
        font.SetFaceName(name);
        QCOMPARE(font.GetFaceName(), std::u16string(30, u'B'));
    }

    void ApplyToKeepsWeightAndSlantOfEachWidget()
    {
        QWidget dialog;
        dialog.setFont(TemplateFont());
        QWidget panel(&dialog);
        QLabel bold("bold", &panel);
        QFont boldFont = bold.font();
        boldFont.setBold(true);
        bold.setFont(boldFont);
        QLabel italic("italic", &dialog);
        QFont italicFont = italic.font();
        italicFont.setItalic(true);
        italic.setFont(italicFont);

        CFontSettings font(&dialog);
        font.SetUseFontHeight(true);
        font.SetHeight(-21);
        font.ApplyTo(&dialog, true);
        for (QWidget* widget : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(&panel),
                                static_cast<QWidget*>(&bold), static_cast<QWidget*>(&italic)})
        {
            QCOMPARE(widget->font().family(), QString("Message Face"));
            QCOMPARE(widget->font().pixelSize(), 21);
        }
        QVERIFY(bold.font().bold());
        QVERIFY(!bold.font().italic());
        QVERIFY(italic.font().italic());
        QVERIFY(!italic.font().bold());
        QVERIFY(!dialog.font().bold());
        QCOMPARE(font.AppliedFont().family(), QString("Message Face"));
    }

    void ApplyToWithoutHeightKeepsEachSize()
    {
        QWidget dialog;
        dialog.setFont(TemplateFont());
        QLabel title("title", &dialog);
        QFont big = title.font();
        big.setPixelSize(25);
        title.setFont(big);
        CFontSettings font(&dialog);
        font.SetUseFontHeight(true);
        font.SetHeight(-11);
        font.ApplyTo(&dialog, false);
        QCOMPARE(dialog.font().pixelSize(), 17);
        QCOMPARE(title.font().pixelSize(), 25);
        QCOMPARE(title.font().family(), QString("Message Face"));

        QFont other("Other Face");
        other.setPixelSize(9);
        font.ApplyTo(&dialog, true, &other);
        QCOMPARE(title.font().family(), QString("Other Face"));
        QCOMPARE(title.font().pixelSize(), 9);
    }

    void CopySettingsToCopiesFlagsAndFonts()
    {
        QWidget dialog;
        dialog.setFont(TemplateFont());
        CFontSettings source(&dialog);
        source.SetUseFontHeight(true);
        source.SetUseFontSettings(false);
        source.SetHeight(-19);
        source.SetCharset(161);
        QWidget preview;
        CFontSettings copy(&preview);
        source.CopySettingsTo(copy);
        QVERIFY(copy.GetUseFontHeight());
        QVERIFY(!copy.GetUseFontSettings());
        QCOMPARE(copy.GetHeight(), -19);
        QCOMPARE(int(copy.GetCharset()), 161);
        QCOMPARE(copy.GetFaceName(), source.GetFaceName());
        QFont current;
        copy.CopyCurrentFont(current);
        QCOMPARE(current.pixelSize(), 19);
    }

    void SettingsRoundTripThroughTheFontObject()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const std::string path = folder.filePath("Rowmover.ini").toStdString();
        {
            std::ofstream out(path, std::ios::binary);
            out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n"
                   "  <UseBuildInFont>0</UseBuildInFont>\r\n  <UseFontSettings>1</UseFontSettings>\r\n"
                   "  <UseFontHeight>1</UseFontHeight>\r\n  <FontDefName>Stored Face</FontDefName>\r\n"
                   "  <FontDefCharset>204</FontDefCharset>\r\n  <FontDefHeight>-15</FontDefHeight>\r\n"
                   "  <FontDefPitch>18</FontDefPitch>\r\n</InitFile>\r\n";
        }
        QWidget dialog;
        dialog.setFont(TemplateFont());
        QLabel label("x", &dialog);
        CFontSettings font(&dialog);
        CAppSettings settings;
        settings.AttachFont(&font);
        settings.LoadSettings(path);
        QCOMPARE(label.font().family(), QString("Stored Face"));
        QCOMPARE(label.font().pixelSize(), 15);
        QCOMPARE(font.CurrentFont().font.styleHint(), QFont::Serif);

        settings.SaveSettings(path + "2");
        std::ifstream in(path + "2", std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        QVERIFY(text.find("  <FontDefName>Stored Face</FontDefName>\r\n  <FontDefCharset>204</FontDefCharset>\r\n"
                          "  <FontDefHeight>-15</FontDefHeight>\r\n  <FontDefPitch>18</FontDefPitch>\r\n") !=
                std::string::npos);
    }
};

QTEST_MAIN(CFontSettingsTest)
#include "CFontSettingsTest.moc"
