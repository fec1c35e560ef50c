#include "ui/COptionsDlg.h"
#include "ui/CFontSettings.h"
#include "ui/FontDialog.h"

#include "core/CStringGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace
{
QFont TemplateFont()
{
    QFont font("Template Face");
    font.setPixelSize(17);
    return font;
}

// The caller's side of the dialog: the settings it edits in place.
struct SSettings
{
    bool bDoBackups = true;
    bool bDoLogs = false;
    std::u16string sDefUser = u"ADMIN";
    std::u16string sDefPass = u"secret";
    int nRetries = 7;
    bool bRecentDBs = true;
    CStringGrid recent;
    bool bExtendDBName = false;
    std::u16string sSourceCharset = u"DOS850";
    bool bVerify = true;

    SSettings()
    {
        recent.SetSize(2, 26);
        recent.SetCell(0, 0, "server:/data/a.fdb");
        recent.SetCell(0, 24, "/data/last.fdb");
    }
};

class CFixture
{
  public:
    explicit CFixture(const QString& languageFile = {})
    {
        QFont message("Message Face");
        message.setPixelSize(13);
        QApplication::setFont(message, "QMessageBox");
        m_owner.setFont(TemplateFont());
        m_pFont = std::make_unique<CFontSettings>(&m_owner);
        m_pDialog = std::make_unique<COptionsDlg>(languageFile, *m_pFont, s.bDoBackups, s.bDoLogs, s.sDefUser,
                                                  s.sDefPass, s.nRetries, s.bRecentDBs, s.recent, s.bExtendDBName,
                                                  s.sSourceCharset, s.bVerify);
    }

    COptionsDlg& Dialog() { return *m_pDialog; }
    CFontSettings& Font() { return *m_pFont; }
    template <typename T> T* Child(const char* name)
    {
        T* widget = m_pDialog->findChild<T*>(name);
        if (widget == nullptr)
            qFatal("no widget %s", name);
        return widget;
    }
    void Click(const char* name) { QTest::mouseClick(Child<QPushButton>(name), Qt::LeftButton); }
    void Type(const char* name, const QString& text)
    {
        QLineEdit* edit = Child<QLineEdit>(name);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    SSettings s;

  private:
    QWidget m_owner;
    std::unique_ptr<CFontSettings> m_pFont;
    std::unique_ptr<COptionsDlg> m_pDialog;
};

int RetriesAfterOk(const QString& typed)
{
    CFixture f;
    f.Type("m_EDTRetries", typed);
    f.Click("m_BTNOk");
    return f.s.nRetries;
}
} // namespace

class COptionsDlgTest : public QObject
{
    Q_OBJECT

  private slots:
    void ShowsTheCallersValues()
    {
        CFixture f;
        QCOMPARE(f.Dialog().windowTitle(), QString("Options"));
        QVERIFY(f.Child<QCheckBox>("m_CHKDoBackups")->isChecked());
        QVERIFY(!f.Child<QCheckBox>("m_CHKDoLogs")->isChecked());
        QCOMPARE(f.Child<QLineEdit>("m_EDTDefUser")->text(), QString("ADMIN"));
        QCOMPARE(f.Child<QLineEdit>("m_EDTDefPass")->text(), QString("secret"));
        QCOMPARE(f.Child<QLineEdit>("m_EDTRetries")->text(), QString("7"));
        QVERIFY(f.Child<QCheckBox>("m_CHKRecentDBs")->isChecked());
        QVERIFY(!f.Child<QCheckBox>("m_CHKExtendDBName")->isChecked());
        QCOMPARE(f.Child<QPushButton>("m_BTNFont")->text(), QString("Message Face"));
        QCOMPARE(f.Child<QPushButton>("m_BTNFontReset")->text(), QString("<"));
        QCOMPARE(f.Child<QLabel>("m_LBLRetries")->text(), QString("Connection retries"));
    }

    void LanguageFileTextsAreUsed()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("de.lng"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("FrmOpt.Caption=\"Optionen\"\r\nFrmOpt.m_BTNRecentDBs=\"Leeren\"\r\n");
        file.close();
        CFixture f(file.fileName());
        QCOMPARE(f.Dialog().windowTitle(), QString("Optionen"));
        QCOMPARE(f.Child<QPushButton>("m_BTNRecentDBs")->text(), QString("Leeren"));
        QCOMPARE(f.Child<QPushButton>("m_BTNCancel")->text(), QString("Cancel"));
    }

    void OkWritesEveryValue()
    {
        CFixture f;
        f.Child<QCheckBox>("m_CHKDoBackups")->setChecked(false);
        f.Child<QCheckBox>("m_CHKDoLogs")->setChecked(true);
        QVERIFY(f.Child<QCheckBox>("m_CHKVerify")->isChecked());
        f.Child<QCheckBox>("m_CHKVerify")->setChecked(false);
        f.Type("m_EDTDefUser", "REPORTER");
        f.Type("m_EDTDefPass", "pw");
        f.Type("m_EDTRetries", "25");
        f.Child<QCheckBox>("m_CHKRecentDBs")->setChecked(false);
        f.Child<QCheckBox>("m_CHKExtendDBName")->setChecked(true);
        // A code page is typed in any case and kept as the server names it.
        QComboBox* codePage = f.Child<QComboBox>("m_CBOSourceCharset");
        QCOMPARE(codePage->currentText(), QString("DOS850"));
        codePage->clearEditText();
        QTest::keyClicks(codePage, "win1252 ;'x");
        f.Click("m_BTNOk");
        QCOMPARE(f.Dialog().result(), int(QDialog::Accepted));
        QVERIFY(!f.s.bDoBackups);
        QVERIFY(f.s.bDoLogs);
        QVERIFY(f.s.sDefUser == u"REPORTER");
        QVERIFY(f.s.sDefPass == u"pw");
        QCOMPARE(f.s.nRetries, 25);
        QVERIFY(!f.s.bRecentDBs);
        QVERIFY(f.s.bExtendDBName);
        // Only a name's letters, digits and underscores can be typed.
        QVERIFY(f.s.sSourceCharset == u"WIN1252X");
        QVERIFY(!f.s.bVerify);
    }

    void AskBeforeCopyIsEditedWhereBoundAndWrittenOnlyOnOk()
    {
        for (const bool ok : {true, false})
        {
            CFixture f;
            bool ask = true;
            QVERIFY(!f.Child<QCheckBox>("m_CHKAskBeforeCopy")->isEnabled());
            f.Dialog().EditAskBeforeCopy(ask);
            QCOMPARE(f.Child<QCheckBox>("m_CHKAskBeforeCopy")->text(), QString("Ask before copying"));
            QVERIFY(f.Child<QCheckBox>("m_CHKAskBeforeCopy")->isChecked());
            f.Child<QCheckBox>("m_CHKAskBeforeCopy")->setChecked(false);
            f.Click(ok ? "m_BTNOk" : "m_BTNCancel");
            QCOMPARE(ask, !ok);
        }
    }

    void TheDefaultPasswordIsMasked()
    {
        CFixture f;
        QCOMPARE(f.Child<QLineEdit>("m_EDTDefPass")->echoMode(), QLineEdit::Password);
        QVERIFY(!f.Child<QLineEdit>("m_EDTDefPass")->displayText().contains("secret"));
    }

    void WayBackAndFoldersAreEditedWhereBoundAndWrittenOnlyOnOk()
    {
        for (const bool ok : {true, false})
        {
            CFixture f;
            bool wayBack = true;
            std::u16string backupDir = u"/srv/backups";
            std::u16string logDir;
            QVERIFY(!f.Child<QLineEdit>("m_EDTBackupDir")->isEnabled());
            f.Dialog().EditCopyPlaces(wayBack, backupDir, logDir);
            QCOMPARE(f.Child<QCheckBox>("m_CHKWayBack")->text(),
                     QString("Copy the destination before each run (way back)"));
            QCOMPARE(f.Child<QLabel>("m_LBLLogDir")->text(), QString("Folder for logs"));
            QCOMPARE(f.Child<QLineEdit>("m_EDTBackupDir")->text(), QString("/srv/backups"));
            QCOMPARE(f.Child<QLineEdit>("m_EDTLogDir")->placeholderText(), QString("empty: the usual place"));
            f.Child<QCheckBox>("m_CHKWayBack")->setChecked(false);
            f.Type("m_EDTBackupDir", "");
            f.Type("m_EDTLogDir", " /var/tmp/logs ");
            f.Click(ok ? "m_BTNOk" : "m_BTNCancel");
            QCOMPARE(wayBack, !ok);
            QVERIFY(backupDir == (ok ? u"" : u"/srv/backups"));
            QVERIFY(logDir == (ok ? u"/var/tmp/logs" : u""));
        }
    }

    void OutOfRangeOrForeignRetriesBecomeTen()
    {
        QCOMPARE(RetriesAfterOk("0"), 10);
        QCOMPARE(RetriesAfterOk("1001"), 10);
        QCOMPARE(RetriesAfterOk("abc"), 10);
        QCOMPARE(RetriesAfterOk(""), 10);
        QCOMPARE(RetriesAfterOk("1"), 1);
        QCOMPARE(RetriesAfterOk("1000"), 1000);
    }

    void RetriesReadLikeADecimalNumber()
    {
        QCOMPARE(COptionsDlg::RetriesFromText(" 42"), 42);
        QCOMPARE(COptionsDlg::RetriesFromText("12abc"), 12);
        QCOMPARE(COptionsDlg::RetriesFromText("+5"), 5);
        QCOMPARE(COptionsDlg::RetriesFromText("-5"), 10);
        // Too large for an integer: never wraps around into the valid range.
        QCOMPARE(COptionsDlg::RetriesFromText("4294967297"), 10);
        QCOMPARE(COptionsDlg::RetriesFromText("99999999999999999999999"), 10);
    }

    void EmptyCredentialsBecomeTheDefaults()
    {
        CFixture f;
        f.Type("m_EDTDefUser", "");
        f.Type("m_EDTDefPass", "");
        f.Click("m_BTNOk");
        QVERIFY(f.s.sDefUser == u"SYSDBA");
        QVERIFY(f.s.sDefPass == u"velvetoak");
    }

    void CancelKeepsEveryValue()
    {
        CFixture f;
        f.Child<QCheckBox>("m_CHKDoBackups")->setChecked(false);
        f.Type("m_EDTDefUser", "");
        f.Type("m_EDTRetries", "0");
        f.Child<QComboBox>("m_CBOSourceCharset")->setCurrentText("WIN1250");
        f.Click("m_BTNCancel");
        QCOMPARE(f.Dialog().result(), int(QDialog::Rejected));
        QVERIFY(f.s.bDoBackups);
        QVERIFY(f.s.sDefUser == u"ADMIN");
        QCOMPARE(f.s.nRetries, 7);
        QVERIFY(f.s.sSourceCharset == u"DOS850");
        QCOMPARE(f.s.recent.GetCell(0, 0), std::string("server:/data/a.fdb"));
    }

    void ClearEmptiesTheRecentListAtOnceEvenOnCancel()
    {
        CFixture f;
        f.Click("m_BTNRecentDBs");
        for (int row = 0; row < 25; ++row)
            QCOMPARE(f.s.recent.GetCell(0, row), std::string());
        f.Click("m_BTNCancel");
        QCOMPARE(f.s.recent.GetCell(0, 0), std::string());
        QCOMPARE(f.s.recent.GetCell(0, 24), std::string());
    }

    void ChosenFontThenCancelLeavesTheCallersFont()
    {
        CFixture f;
        QFont chosen("Chosen Face");
        chosen.setPixelSize(30);
        SetNextFontDialogAnswer(chosen);
        f.Click("m_BTNFont");
        QCOMPARE(f.Child<QPushButton>("m_BTNFont")->text(), QString("Chosen Face"));
        // The dialog previews the choice on itself.
        QCOMPARE(f.Dialog().font().family(), QString("Chosen Face"));
        QCOMPARE(LastFontDialogInitial().family(), QString("Message Face"));
        f.Click("m_BTNCancel");
        QCOMPARE(QString::fromStdU16String(f.Font().GetFaceName()), QString("Message Face"));
        QVERIFY(!f.Font().GetUseFontHeight());
        QCOMPARE(f.Font().GetHeight(), -17);
    }

    void ChosenFontWithOtherHeightIsTakenOnOk()
    {
        CFixture f;
        QFont chosen("Chosen Face");
        chosen.setPixelSize(30);
        SetNextFontDialogAnswer(chosen);
        f.Click("m_BTNFont");
        f.Click("m_BTNOk");
        QCOMPARE(QString::fromStdU16String(f.Font().GetFaceName()), QString("Chosen Face"));
        QVERIFY(f.Font().GetUseFontHeight());
        QCOMPARE(f.Font().GetHeight(), -30);
    }

    void ChosenFontOfTheTemplateHeightKeepsHeightUnset()
    {
        CFixture f;
        QFont chosen("Chosen Face");
        chosen.setPixelSize(17);
        SetNextFontDialogAnswer(chosen);
        f.Click("m_BTNFont");
        f.Click("m_BTNOk");
        QCOMPARE(QString::fromStdU16String(f.Font().GetFaceName()), QString("Chosen Face"));
        QVERIFY(!f.Font().GetUseFontHeight());
        QCOMPARE(f.Font().GetHeight(), -17);
    }

    void CancelledFontDialogChangesNothing()
    {
        CFixture f;
        SetNextFontDialogAnswer(std::nullopt);
        f.Click("m_BTNFont");
        QCOMPARE(f.Child<QPushButton>("m_BTNFont")->text(), QString("Message Face"));
        f.Click("m_BTNOk");
        QCOMPARE(QString::fromStdU16String(f.Font().GetFaceName()), QString("Message Face"));
    }

    void ResetReturnsToTheSystemFaceAtTheTemplateHeight()
    {
        CFixture f;
        QFont chosen("Chosen Face");
        chosen.setPixelSize(30);
        SetNextFontDialogAnswer(chosen);
        f.Click("m_BTNFont");
        f.Click("m_BTNFontReset");
        QCOMPARE(f.Child<QPushButton>("m_BTNFont")->text(), QString("Message Face"));
        QCOMPARE(f.Dialog().font().pixelSize(), 17);
        f.Click("m_BTNOk");
        QCOMPARE(QString::fromStdU16String(f.Font().GetFaceName()), QString("Message Face"));
        QVERIFY(!f.Font().GetUseFontHeight());
        QCOMPARE(f.Font().GetHeight(), -17);
        QCOMPARE(f.Font().GetBuiltInHeight(), -17);
    }
};

QTEST_MAIN(COptionsDlgTest)
#include "COptionsDlgTest.moc"
