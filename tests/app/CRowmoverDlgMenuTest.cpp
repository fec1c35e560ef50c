// The main window's menus: their entries, texts and keys, a language chosen
// while the window is open, the options, the help texts, the about window,
// and the triggers an interrupted copy left switched off.
#include "MainWindowTestSupport.h"
#include "ModalAnswer.h"

#include "support/CTempDatabase.h"
#include "ui/CMessageBox.h"
#include "ui/Mnemonics.h"
#include "ui/ShellOpen.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTreeWidget>

namespace
{
// A language file with some of the main window's texts; the rest falls back
// to English.
const char* const kGermanTexts = "FrmMain.ID_MEN_FILE=\"Datei\"\r\n"
                                 "FrmMain.ID_MEN_VIEW=\"Ansicht\"\r\n"
                                 "FrmMain.ID_MEN_COPY=\"Datenbank kopieren\tStrg+C\"\r\n"
                                 "FrmMain.ID_MEN_GENERALLOG=\"Allgemeine Protokolldatei\"\r\n"
                                 "FrmMain.ID_MEN_HELP=\"Hilfe\tF1\"\r\n"
                                 "FrmMain.m_LBLSourceDB=\"1. Quelldatenbank auswählen\"\r\n"
                                 "FrmMain.m_CHKAllTables=\"Alle Tabellen\"\r\n"
                                 "FrmMain.m_BTNCopy=\"Kopieren\"\r\n"
                                 "FrmMain.m_BTNRefreshHint=\"Tabellenliste aktualisieren\"\r\n"
                                 "FrmMain.m_LISSourceTables1=\"Trigger\"\r\n"
                                 "FrmMain.m_aMError=\"FEHLER\"\r\n"
                                 "FrmMain.m_aMNoSource=\"Keine Quelldatenbank ausgewählt.\"\r\n";

QStringList EntryTexts(QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : WithoutMnemonic(action->text()));
    return texts;
}

QString TriggerState(const CTempDatabase& database, const char* trigger)
{
    return QString::fromStdString(database.Scalar(
        std::string("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = '") + trigger + "'"));
}

const char* const kShopDdl = R"(
CREATE TABLE CUSTOMER (ID INTEGER);
CREATE TABLE ORDERS (ID INTEGER);
CREATE GENERATOR GEN_CUSTOMER;
SET TERM ^ ;
CREATE TRIGGER CUSTOMER_BI FOR CUSTOMER BEFORE INSERT AS
  BEGIN IF (NEW.ID IS NULL) THEN NEW.ID = GEN_ID(GEN_CUSTOMER, 1); END^
SET TERM ; ^
)";
} // namespace

class CRowmoverDlgMenuTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SMainWindowFolders> m_folders;

    QString JournalFile() const { return m_folders->DataFolder() + "TriggerJournal.txt"; }

    void WriteJournal(const QByteArray& lines) const
    {
        QDir().mkpath(m_folders->DataFolder());
        WriteFile(JournalFile(), lines);
    }

  private slots:
    void init()
    {
        m_folders = std::make_unique<SMainWindowFolders>();
        SetShellOpenRecording(true);
        ResetShellOpenRecord();
    }

    void FourMenusWithTheirEntriesTextsAndKeys()
    {
        auto dialog = m_folders->Start();
        auto* bar = Child<QMenuBar>(dialog.get(), "m_pMenuBar");
        QStringList titles;
        for (const QAction* menu : bar->actions())
            titles << WithoutMnemonic(menu->text());
        QCOMPARE(titles, (QStringList{"File", "Tables", "View", "?"}));
        QCOMPARE(EntryTexts(Child<QMenu>(dialog.get(), "ID_MEN_FILE")),
                 (QStringList{"Select source database\tCtrl+S", "Select destination database\tCtrl+D", "-",
                              "Check copy\tCtrl+K", "Copy database\tCtrl+C", "-", "Quit\tCtrl+Q"}));
        QCOMPARE(EntryTexts(Child<QMenu>(dialog.get(), "ID_MEN_TABLES")),
                 (QStringList{"Select all\tCtrl+A", "Invert selection\tCtrl+I"}));
        QCOMPARE(EntryTexts(Child<QMenu>(dialog.get(), "ID_MEN_VIEW")),
                 (QStringList{"SQL log file", "Text log file", "General log file", "-", "Refresh\tF5", "-",
                              "SQL editor\tCtrl+E", "Options", "Language"}));
        QCOMPARE(EntryTexts(Child<QMenu>(dialog.get(), "ID_MEN_HELPMENU")),
                 (QStringList{"Help\tF1", "License", "Changes", "Check for update", "-", "Info"}));

        const QList<QPair<const char*, QString>> keys{
            {"ID_MEN_SOURCE", "Ctrl+S"},    {"ID_MEN_DESTINATION", "Ctrl+D"},
            {"ID_MEN_COPY", "Ctrl+C"},      {"ID_MEN_EXIT", "Ctrl+Q"},
            {"ID_MEN_SELECTALL", "Ctrl+A"}, {"ID_MEN_INVERTSELECTION", "Ctrl+I"},
            {"ID_MEN_SQLEDITOR", "Ctrl+E"}, {"ID_MEN_HELP", "F1"},
            {"ID_MEN_REFRESH", "F5"}};
        for (const auto& [name, key] : keys)
            QCOMPARE(Child<QAction>(dialog.get(), name)->shortcut(), QKeySequence(key));
        for (const char* name :
             {"ID_MEN_SQLLOG", "ID_MEN_TXTLOG", "ID_MEN_GENERALLOG", "ID_MEN_OPTIONS", "ID_MEN_LANGUAGE",
              "ID_MEN_LICENSE", "ID_MEN_README", "ID_MEN_CHECKUPDATE", "ID_MEN_INFO"})
            QVERIFY(Child<QAction>(dialog.get(), name)->shortcut().isEmpty());
    }

    void EveryMenuAndEntryHasAnAltKeyOfItsOwnInEitherLanguage()
    {
        auto dialog = m_folders->Start();
        auto* bar = Child<QMenuBar>(dialog.get(), "m_pMenuBar");
        for (const QString& language : {QString(), m_folders->sProgram + "German.lng"})
        {
            if (!language.isEmpty())
                QVERIFY(QFile::copy(QStringLiteral(ROWMOVER_RESOURCE_DIR "German.lng"), language));
            dialog->ApplyTexts(language.toStdU16String());
            QList<QList<QAction*>> groups{bar->actions()};
            for (QAction* title : bar->actions())
                groups << title->menu()->actions();
            for (const QList<QAction*>& group : groups)
            {
                QSet<QKeySequence> keys;
                for (const QAction* action : group)
                {
                    if (action->isSeparator())
                        continue;
                    const QKeySequence key = QKeySequence::mnemonic(action->text());
                    QVERIFY2(!key.isEmpty(), qPrintable(action->text()));
                    QVERIFY2(!keys.contains(key), qPrintable(action->text()));
                    keys.insert(key);
                }
            }
        }
        // Alt and the key of the first menu opens it.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        auto* file = Child<QMenu>(dialog.get(), "ID_MEN_FILE");
        const QKeySequence alt = QKeySequence::mnemonic(file->title());
        QCOMPARE(alt, QKeySequence(Qt::ALT | Qt::Key_D)); // "&Datei"
        QTest::keyClick(dialog.get(), Qt::Key_D, Qt::AltModifier);
        QTRY_VERIFY(file->isVisible());
        file->close();
    }

    void AChosenLanguageChangesTheWindowAtOnce()
    {
        WriteFile(m_folders->sProgram + "Languages.ini", "LanguageName=\"Deutsch\"\r\nLanguageFile=\"Mini.lng\"\r\n");
        WriteFile(m_folders->sProgram + "Mini.lng", kGermanTexts);
        auto dialog = m_folders->Start();
        QCOMPARE(WithoutMnemonic(Child<QMenu>(dialog.get(), "ID_MEN_FILE")->title()), QString("File"));

        // Cancel changes nothing.
        auto answered = OnNextModal("CLanguageDlg", [](QWidget* language) {
            Child<QComboBox>(language, "m_CMBLanguage")->setCurrentIndex(1);
            QTest::mouseClick(Child<QPushButton>(language, "m_BTNCancel"), Qt::LeftButton);
        });
        Child<QAction>(dialog.get(), "ID_MEN_LANGUAGE")->trigger();
        QVERIFY(*answered);
        QCOMPARE(WithoutMnemonic(Child<QMenu>(dialog.get(), "ID_MEN_FILE")->title()), QString("File"));
        QVERIFY(dialog->m_bLanguageUnset);

        answered = OnNextModal("CLanguageDlg", [](QWidget* language) {
            auto* list = Child<QComboBox>(language, "m_CMBLanguage");
            QCOMPARE(list->itemText(1), QString("Deutsch"));
            list->setCurrentIndex(1);
            QTest::mouseClick(Child<QPushButton>(language, "m_BTNOk"), Qt::LeftButton);
        });
        Child<QAction>(dialog.get(), "ID_MEN_LANGUAGE")->trigger();
        QVERIFY(*answered);
        QCOMPARE(WithoutMnemonic(Child<QMenu>(dialog.get(), "ID_MEN_FILE")->title()), QString("Datei"));
        QCOMPARE(WithoutMnemonic(Child<QMenu>(dialog.get(), "ID_MEN_VIEW")->title()), QString("Ansicht"));
        QCOMPARE(WithoutMnemonic(Child<QMenu>(dialog.get(), "ID_MEN_TABLES")->title()), QString("Tables"));
        QCOMPARE(WithoutMnemonic(Child<QMenu>(dialog.get(), "ID_MEN_HELPMENU")->title()), QString("?"));
        QCOMPARE(WithoutMnemonic(Child<QAction>(dialog.get(), "ID_MEN_COPY")->text()),
                 QString("Datenbank kopieren\tStrg+C"));
        QCOMPARE(WithoutMnemonic(Child<QAction>(dialog.get(), "ID_MEN_GENERALLOG")->text()),
                 QString("Allgemeine Protokolldatei"));
        QCOMPARE(WithoutMnemonic(Child<QAction>(dialog.get(), "ID_MEN_HELP")->text()), QString("Hilfe\tF1"));
        QCOMPARE(Child<QLabel>(dialog.get(), "m_LBLSourceDB")->text(), QString("1. Quelldatenbank auswählen"));
        QCOMPARE(Child<QCheckBox>(dialog.get(), "m_CHKAllTables")->text(), QString("Alle Tabellen"));
        QCOMPARE(Child<QPushButton>(dialog.get(), "m_BTNCopy")->text(), QString("Kopieren"));
        QCOMPARE(Child<QPushButton>(dialog.get(), "m_BTNCopy")->toolTip(), QString("Kopieren"));
        QCOMPARE(Child<QPushButton>(dialog.get(), "m_BTNRefresh")->toolTip(), QString("Tabellenliste aktualisieren"));
        auto* list = Child<QTreeWidget>(dialog.get(), "m_LISSourceTables");
        QCOMPARE(list->columnCount(), 2);
        QCOMPARE(list->headerItem()->text(0), QString("Name"));
        QCOMPARE(list->headerItem()->text(1), QString("Trigger"));
        // The keys stay what they were.
        QCOMPARE(Child<QAction>(dialog.get(), "ID_MEN_COPY")->shortcut(), QKeySequence("Ctrl+C"));
        QCOMPARE(dialog->m_sLanguageName, std::u16string(u"Deutsch"));
        QCOMPARE(QString::fromStdU16String(dialog->m_sLanguageFile), m_folders->sProgram + "Mini.lng");
        QVERIFY(!dialog->m_bLanguageUnset);

        // The messages too.
        Child<QAction>(dialog.get(), "ID_MEN_COPY")->trigger();
        QCOMPARE(CMessageBox::LastText(), QString("Keine Quelldatenbank ausgewählt."));
        QCOMPARE(CMessageBox::LastCaption(), QString("FEHLER"));

        // Back to English, and the chosen language is kept on close.
        answered = OnNextModal("CLanguageDlg", [](QWidget* language) {
            Child<QComboBox>(language, "m_CMBLanguage")->setCurrentIndex(0);
            QTest::mouseClick(Child<QPushButton>(language, "m_BTNOk"), Qt::LeftButton);
        });
        Child<QAction>(dialog.get(), "ID_MEN_LANGUAGE")->trigger();
        QVERIFY(*answered);
        QCOMPARE(WithoutMnemonic(Child<QMenu>(dialog.get(), "ID_MEN_FILE")->title()), QString("File"));
        QCOMPARE(WithoutMnemonic(Child<QAction>(dialog.get(), "ID_MEN_COPY")->text()),
                 QString("Copy database\tCtrl+C"));
        QCOMPARE(Child<QTreeWidget>(dialog.get(), "m_LISSourceTables")->headerItem()->text(1), QString("Trigger(s)"));
        QVERIFY(dialog->m_sLanguageFile.empty());
    }

    void OptionsOkMakesTheNewDefaultsTheCredentialsOfBothDatabases()
    {
        auto dialog = m_folders->Start();
        dialog->m_sSourceUser = u"ANNE";
        dialog->m_sDestPassword = u"secret";
        auto answered = OnNextModal("COptionsDlg", [](QWidget* options) {
            QTest::mouseClick(Child<QPushButton>(options, "m_BTNCancel"), Qt::LeftButton);
        });
        Child<QAction>(dialog.get(), "ID_MEN_OPTIONS")->trigger();
        QVERIFY(*answered);
        QCOMPARE(dialog->m_sSourceUser, std::u16string(u"ANNE"));

        answered = OnNextModal("COptionsDlg", [](QWidget* options) {
            Child<QLineEdit>(options, "m_EDTDefUser")->setText("BOB");
            Child<QCheckBox>(options, "m_CHKDoLogs")->setChecked(false);
            QTest::mouseClick(Child<QPushButton>(options, "m_BTNOk"), Qt::LeftButton);
        });
        Child<QAction>(dialog.get(), "ID_MEN_OPTIONS")->trigger();
        QVERIFY(*answered);
        QCOMPARE(dialog->m_sDefUser, std::u16string(u"BOB"));
        QCOMPARE(dialog->m_sSourceUser, std::u16string(u"BOB"));
        QCOMPARE(dialog->m_sDestUser, std::u16string(u"BOB"));
        QCOMPARE(dialog->m_sSourcePassword, std::u16string(u"velvetoak"));
        QCOMPARE(dialog->m_sDestPassword, std::u16string(u"velvetoak"));
        QVERIFY(!dialog->m_bDoLogs);
    }

    void LogEntriesShowTheLastRunsFilesWhenTheyExist()
    {
        auto dialog = m_folders->Start();
        const QString folder = m_folders->root->path() + "/DB_copy_20190109/";
        QDir().mkpath(folder);
        WriteFile(folder + "101500_sql.txt", "INSERT INTO CUSTOMER (ID) VALUES (1);\r\n");
        WriteFile(folder + "101500_txt.txt", "1;Anne\r\n");
        WriteFile(folder + "101500_log.txt", "<TBL_CUSTOMER          > Ü\r\n");
        dialog->m_sLastSqlLog = (folder + "101500_sql.txt").toStdU16String();
        dialog->m_sLastTxtLog = (folder + "101500_txt.txt").toStdU16String();
        dialog->m_sLastLog = (folder + "101500_log.txt").toStdU16String();
        for (const auto& [entry, file] : QList<QPair<const char*, QString>>{{"ID_MEN_SQLLOG", "101500_sql.txt"},
                                                                            {"ID_MEN_TXTLOG", "101500_txt.txt"},
                                                                            {"ID_MEN_GENERALLOG", "101500_log.txt"}})
        {
            auto title = std::make_shared<QString>();
            auto answered = OnNextModal("CDisplayTextDlg", [title](QWidget* viewer) {
                *title = viewer->windowTitle();
                static_cast<QDialog*>(viewer)->accept();
            });
            Child<QAction>(dialog.get(), entry)->trigger();
            QVERIFY(*answered);
            QCOMPARE(*title, file);
        }
        // The watch sees the viewer that comes, so its silence below means
        // none came.
        QVERIFY(
            WindowCameDuring("CDisplayTextDlg", [&] { Child<QAction>(dialog.get(), "ID_MEN_GENERALLOG")->trigger(); }));
        QFile::remove(folder + "101500_log.txt");
        QVERIFY(!WindowCameDuring("CDisplayTextDlg",
                                  [&] { Child<QAction>(dialog.get(), "ID_MEN_GENERALLOG")->trigger(); }));
    }

    void HelpInfoAndTheUpdatePage()
    {
        auto dialog = m_folders->Start();
        auto answered = OnNextModal("CHelpDlg", [](QWidget* help) { static_cast<QDialog*>(help)->accept(); });
        Child<QAction>(dialog.get(), "ID_MEN_HELP")->trigger();
        QVERIFY(*answered);
        answered = OnNextModal("CAboutDlg", [](QWidget* about) { static_cast<QDialog*>(about)->accept(); });
        Child<QAction>(dialog.get(), "ID_MEN_INFO")->trigger();
        QVERIFY(*answered);
        // The update check names the English key whatever the language.
        Child<QAction>(dialog.get(), "ID_MEN_CHECKUPDATE")->trigger();
        QCOMPARE(LastShellOpenTarget(), QString(CRowmoverDlg::kUpdatePage) + "?lang=ENG&progvers=1.600");
        Child<QAction>(dialog.get(), "ID_MEN_LICENSE")->trigger();
        QCOMPARE(LastShellOpenTarget(), m_folders->sProgram + "License.txt");
    }

    void LeftoverTriggersAreOfferedAtStart()
    {
        CTempDatabase dest(kShopDdl);
        dest.Run("ALTER TRIGGER CUSTOMER_BI INACTIVE;");
        WriteJournal(QByteArray::fromStdString(dest.Name()) + "\tCUSTOMER\tCUSTOMER_BI\n");

        // No: the triggers stay as they are and the record is kept.
        CMessageBox::SetNextAnswer(QMessageBox::No);
        {
            auto dialog = m_folders->Start();
            QCOMPARE(CMessageBox::LastCaption(), QString("Rowmover"));
            QCOMPARE(CMessageBox::LastText(),
                     QString("A copy that did not end left the triggers of these tables switched off: CUSTOMER (" +
                             QString::fromStdString(dest.Name()) + "). Switch them on again now?"));
        }
        QCOMPARE(TriggerState(dest, "CUSTOMER_BI"), QString("1"));
        QVERIFY(QFileInfo::exists(JournalFile()));

        // Yes: they are active again and the record is gone.
        CMessageBox::SetNextAnswer(QMessageBox::Yes);
        auto dialog = m_folders->Start();
        QCOMPARE(TriggerState(dest, "CUSTOMER_BI"), QString("0"));
        QVERIFY(!QFileInfo::exists(JournalFile()));
    }

    void LeftoverTriggersThatCannotBeSwitchedOnAreNamed()
    {
        const QString missing = m_folders->root->path() + "/gone.fdb";
        WriteJournal(missing.toUtf8() + "\tORDERS\tORDERS_BI\n");
        CMessageBox::SetNextAnswer(QMessageBox::Yes);
        auto dialog = m_folders->Start();
        QCOMPARE(CMessageBox::LastText(),
                 QString("The triggers of these tables could not be switched on again: ORDERS (" + missing + ")"));
        QCOMPARE(CMessageBox::LastCaption(), QString("ERROR"));
        QVERIFY(QFileInfo::exists(JournalFile()));
    }

    void ARunOnTheDestinationSwitchesItsLeftoverTriggersOn()
    {
        CTempDatabase source(kShopDdl);
        source.Run("INSERT INTO ORDERS VALUES (5);");
        CTempDatabase dest(kShopDdl);
        dest.Run("ALTER TRIGGER CUSTOMER_BI INACTIVE;");
        WriteJournal(QByteArray::fromStdString(dest.Name()) + "\tCUSTOMER\tCUSTOMER_BI\n");
        CMessageBox::SetNextAnswer(QMessageBox::No);
        auto dialog = m_folders->Start();
        dialog->m_sSourceDb = Wide(source.Name());
        dialog->m_sDestDb = Wide(dest.Name());
        dialog->m_sDestUser = Wide(TestUser);
        dialog->m_sDestPassword = Wide(TestPassword);
        dialog->RefreshTableList();
        // Only ORDERS is copied; CUSTOMER's trigger is switched on all the same.
        Child<QCheckBox>(dialog.get(), "m_CHKAllTables")->setChecked(false);
        Child<QTreeWidget>(dialog.get(), "m_LISSourceTables")->topLevelItem(1)->setSelected(true);
        QSignalSpy finished(dialog.get(), &CRowmoverDlg::copyFinished);
        dialog->OnCopy();
        QVERIFY(finished.wait(120000));
        QCOMPARE(dest.Scalar("SELECT LIST(ID) FROM ORDERS"), std::string("5"));
        QCOMPARE(TriggerState(dest, "CUSTOMER_BI"), QString("0"));
        QVERIFY(!QFileInfo::exists(JournalFile()));
    }
};

MAIN_WINDOW_TEST_MAIN(CRowmoverDlgMenuTest)

#include "CRowmoverDlgMenuTest.moc"
