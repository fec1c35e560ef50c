#include "ui/CLanguageDlg.h"
#include "ui/CFontSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace
{
void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QStringList Entries(const QComboBox* combo)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries.append(combo->itemText(i));
    return entries;
}

// A language folder with a list file and the dialog run on it.
class CFixture
{
  public:
    explicit CFixture(const QByteArray& list, const std::u16string& currentFile = {},
                      const std::u16string& currentName = u"English")
        : m_font(&m_owner)
    {
        m_sFolder = (QDir(m_dir.path()).absolutePath() + '/').toStdU16String();
        if (!list.isNull())
            WriteFile(m_dir.filePath("Languages.ini"), list);
        resultFile = currentFile;
        resultName = currentName;
        m_pDialog = std::make_unique<CLanguageDlg>(currentFile, currentName, ListFile(), m_sFolder, resultFile,
                                                   resultName, m_font);
    }

    std::u16string ListFile() const { return m_sFolder + u"Languages.ini"; }
    std::u16string Path(const char* name) const { return m_sFolder + QString(name).toStdU16String(); }
    void WriteLanguage(const char* name, const QByteArray& body) { WriteFile(m_dir.filePath(name), body); }
    CLanguageDlg& Dialog() { return *m_pDialog; }
    QComboBox* Combo() { return m_pDialog->findChild<QComboBox*>("m_CMBLanguage"); }
    QString Label() { return m_pDialog->findChild<QLabel*>("m_LBLCurrentLanguage")->text(); }
    void Click(const char* name) { QTest::mouseClick(m_pDialog->findChild<QPushButton*>(name), Qt::LeftButton); }

    std::u16string resultFile;
    std::u16string resultName;

  private:
    QTemporaryDir m_dir;
    std::u16string m_sFolder;
    QWidget m_owner;
    CFontSettings m_font;
    std::unique_ptr<CLanguageDlg> m_pDialog;
};

const QByteArray kGermanFrench = "LanguageDefault=\"English\"\r\n"
                                 "LanguageName=\"German\"\r\nLanguageFile=\"German.lng\"\r\n"
                                 "LanguageName=\"French\"\r\nLanguageFile=\"French.lng\"\r\n";
} // namespace

class CLanguageDlgTest : public QObject
{
    Q_OBJECT

  private slots:
    void MissingListOffersOnlyEnglish()
    {
        CFixture f(QByteArray{});
        QCOMPARE(Entries(f.Combo()), QStringList{"English"});
        QCOMPARE(f.Dialog().windowTitle(), QString("Select language"));
        QCOMPARE(f.Label(), QString("Current language:"));
    }

    void ListedLanguagesFollowEnglishAndOkReturnsTheChoice()
    {
        CFixture f(kGermanFrench);
        QCOMPARE(Entries(f.Combo()), (QStringList{"English", "German", "French"}));
        QCOMPARE(f.Combo()->currentIndex(), 0);
        f.Combo()->setCurrentIndex(2);
        f.Click("m_BTNOk");
        QCOMPARE(f.Dialog().result(), int(QDialog::Accepted));
        QVERIFY(f.resultFile == f.Path("French.lng"));
        QVERIFY(f.resultName == u"French");
    }

    void ChoosingBuiltInEnglishReturnsAnEmptyFile()
    {
        CFixture f(kGermanFrench, u"", u"German");
        f.resultFile = u"unchanged";
        f.Combo()->setCurrentIndex(1);
        f.Combo()->setCurrentIndex(0);
        f.Click("m_BTNOk");
        QVERIFY(f.resultFile.empty());
        QVERIFY(f.resultName == u"English");
    }

    void CancelLeavesTheResults()
    {
        CFixture f(kGermanFrench);
        f.Combo()->setCurrentIndex(1);
        f.Click("m_BTNCancel");
        QVERIFY(f.resultFile.empty());
        QVERIFY(f.resultName == u"English");
    }

    void ListCarryingEnglishReplacesTheBuiltInEntry()
    {
        CFixture f("LanguageName=\"German\"\r\nLanguageFile=\"German.lng\"\r\n"
                   "LanguageName=\"English\"\r\nLanguageFile=\"English.lng\"\r\n"
                   "LanguageName=\"French\"\r\nLanguageFile=\"French.lng\"\r\n");
        QCOMPARE(Entries(f.Combo()), (QStringList{"German", "English", "French"}));
        // The user of the built-in English stands on the list's English.
        QCOMPARE(f.Combo()->currentText(), QString("English"));
        f.Click("m_BTNOk");
        QVERIFY(f.resultFile == f.Path("English.lng"));
        QVERIFY(f.resultName == u"English");
    }

    void CurrentEntryShiftsWhenTheBuiltInEntryGoes()
    {
        const QByteArray list = "LanguageName=\"English\"\r\nLanguageFile=\"English.lng\"\r\n"
                                "LanguageName=\"German\"\r\nLanguageFile=\"German.lng\"\r\n";
        QTemporaryDir dir;
        const std::u16string folder = (QDir(dir.path()).absolutePath() + '/').toStdU16String();
        WriteFile(dir.filePath("Languages.ini"), list);
        std::u16string file = folder + u"German.lng";
        std::u16string name = u"German";
        QWidget owner;
        CFontSettings font(&owner);
        CLanguageDlg dialog(file, name, folder + u"Languages.ini", folder, file, name, font);
        QCOMPARE(dialog.findChild<QComboBox*>("m_CMBLanguage")->currentText(), QString("German"));
    }

    void OkReturnsTheShownEntryWhenTheCurrentLanguageIsNotListed()
    {
        CFixture f(kGermanFrench, u"/nowhere/Old.lng", u"Old");
        QCOMPARE(f.Combo()->currentText(), QString("English"));
        f.Click("m_BTNOk");
        QVERIFY(f.resultFile.empty());
        QVERIFY(f.resultName == u"English");
    }

    void EntryWithoutFileEndsTheList()
    {
        CFixture f("LanguageName=\"German\"\r\nLanguageFile=\"German.lng\"\r\n"
                   "LanguageName=\"Greek\"\r\nLanguageFile=\"\"\r\n"
                   "LanguageName=\"French\"\r\nLanguageFile=\"French.lng\"\r\n");
        QCOMPARE(Entries(f.Combo()), (QStringList{"English", "German"}));
    }

    void CurrentLanguageIsSelectedAtStart()
    {
        QTemporaryDir dir;
        const std::u16string folder = (QDir(dir.path()).absolutePath() + '/').toStdU16String();
        WriteFile(dir.filePath("Languages.ini"), kGermanFrench);
        WriteFile(dir.filePath("French.lng"), "FrmLanguage.Caption=\"Choisir la langue\"\r\n");
        std::u16string file = folder + u"French.lng";
        std::u16string name = u"French";
        QWidget owner;
        CFontSettings font(&owner);
        CLanguageDlg dialog(file, name, folder + u"Languages.ini", folder, file, name, font);
        QCOMPARE(dialog.findChild<QComboBox*>("m_CMBLanguage")->currentIndex(), 2);
        QCOMPARE(dialog.windowTitle(), QString("Choisir la langue"));
    }

    void TextsFollowTheHighlightedLanguage()
    {
        CFixture f(kGermanFrench);
        f.WriteLanguage("German.lng", "FrmLanguage.Caption=\"Sprache auswählen\"\r\n"
                                      "FrmLanguage.m_LBLCurrentLanguage=\"Aktuelle Sprache:\"\r\n"
                                      "FrmLanguage.m_BTNCancel=\"Abbrechen\"\r\n");
        f.Combo()->setCurrentIndex(1);
        QCOMPARE(f.Dialog().windowTitle(), QString::fromUtf8("Sprache auswählen"));
        QCOMPARE(f.Label(), QString("Aktuelle Sprache:"));
        QCOMPARE(f.Dialog().findChild<QPushButton*>("m_BTNCancel")->text(), QString("Abbrechen"));
        QCOMPARE(f.Dialog().findChild<QPushButton*>("m_BTNOk")->text(), QString("OK"));
        // French has no file: its entry shows the English texts.
        f.Combo()->setCurrentIndex(2);
        QCOMPARE(f.Dialog().windowTitle(), QString("Select language"));
        f.Combo()->setCurrentIndex(0);
        QCOMPARE(f.Label(), QString("Current language:"));
    }
};

QTEST_MAIN(CLanguageDlgTest)
#include "CLanguageDlgTest.moc"
