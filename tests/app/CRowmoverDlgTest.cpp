#include "app/CRowmoverDlg.h"

#include "ModalAnswer.h"
#include "sqleditor/CDBSQLDlg.h"
#include "support/CTempDatabase.h"
#include "ui/CMessageBox.h"
#include "ui/FileDialogs.h"
#include "ui/Mnemonics.h"
#include "ui/ShellOpen.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <memory>
#include <unistd.h>

namespace
{
const char* const SourceDdl = R"(
CREATE TABLE ORDERS (ID INTEGER);
CREATE TABLE ONLY_SOURCE (ID INTEGER);
CREATE TABLE CUSTOMER (ID INTEGER);
CREATE TABLE CHECKED (ID INTEGER);
CREATE TABLE ARTICLE (ID INTEGER);
)";

const char* const DestDdl = R"(
CREATE TABLE "Orders" (ID INTEGER);
CREATE TABLE ONLY_DEST (ID INTEGER);
CREATE TABLE CUSTOMER (ID INTEGER);
CREATE TABLE CHECKED (ID INTEGER CHECK (ID > 0));
CREATE TABLE "article" (ID INTEGER);
CREATE GENERATOR GEN_CUSTOMER;
SET GENERATOR GEN_CUSTOMER TO 17;
SET TERM ^ ;
CREATE TRIGGER CUSTOMER_BI FOR CUSTOMER BEFORE INSERT AS
  BEGIN NEW.ID = GEN_ID(GEN_CUSTOMER, 1); END^
CREATE TRIGGER CUSTOMER_AU FOR CUSTOMER AFTER UPDATE AS BEGIN END^
SET TERM ; ^
)";

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::u16string Wide(const std::string& text)
{
    return QString::fromStdString(text).toStdU16String();
}
} // namespace

class CRowmoverDlgTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_sProgram;
    QString m_sConfig;

    QString SettingsFile() const { return m_sConfig + "Quenstead/Rowmover/Rowmover.ini"; }

    std::unique_ptr<CRowmoverDlg> Start()
    {
        auto dialog = std::make_unique<CRowmoverDlg>((m_sProgram + "rowmover").toStdString(),
                                                     std::vector<std::string>{"rowmover"});
        dialog->show();
        return dialog;
    }

    template <typename T> static T* Child(QWidget* dialog, const char* name)
    {
        T* child = dialog->findChild<T*>(name);
        if (child == nullptr)
            qFatal("no child %s", name);
        return child;
    }

    static QTreeWidget* List(QWidget* dialog) { return Child<QTreeWidget>(dialog, "m_LISSourceTables"); }

    static QStringList Column(QWidget* dialog, int column)
    {
        QStringList texts;
        for (int row = 0; row < List(dialog)->topLevelItemCount(); ++row)
            texts << List(dialog)->topLevelItem(row)->text(column);
        return texts;
    }

    static QList<int> SelectedRows(QWidget* dialog)
    {
        QList<int> rows;
        for (int row = 0; row < List(dialog)->topLevelItemCount(); ++row)
            if (List(dialog)->topLevelItem(row)->isSelected())
                rows << row;
        return rows;
    }

    // Puts a known text into the last-message record, so a test sees
    // whether a command showed a box.
    static void MarkMessages() { CMessageBox::ShowError(nullptr, "(no box)", "(none)"); }

    static void Choose(CRowmoverDlg& dialog, const CTempDatabase& source, const CTempDatabase& dest)
    {
        dialog.m_sSourceDb = Wide(source.Name());
        dialog.m_sDestDb = Wide(dest.Name());
    }

  private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_sProgram = m_root->path() + "/program/";
        m_sConfig = m_root->path() + "/config/";
        QDir().mkpath(m_sProgram);
        qputenv("XDG_CONFIG_HOME", m_sConfig.toUtf8());
        qputenv("XDG_DATA_DIRS", (m_root->path() + "/share").toUtf8());
        WriteFile(m_sProgram + "rowmover", "program");
        WriteFile(m_sProgram + "License.txt", "licence");
        WriteFile(m_sProgram + "ReadMe.txt", "changes");
        SetShellOpenRecording(true);
        ResetShellOpenRecord();
    }

    void StartsWithTheEnglishTextsAndAllTablesTicked()
    {
        auto dialog = Start();
        QCOMPARE(dialog->windowTitle(), QString("Rowmover"));
        QCOMPARE(Child<QLabel>(dialog.get(), "m_LBLSourceDB")->text(), QString("1. Select source database"));
        QCOMPARE(Child<QLabel>(dialog.get(), "m_LBLDestDB")->text(), QString("2. Select destination database"));
        QCOMPARE(Child<QLabel>(dialog.get(), "m_LBLTables")->text(), QString("3. Select tables to be copied"));
        QVERIFY(Child<QCheckBox>(dialog.get(), "m_CHKAllTables")->isChecked());
        QCOMPARE(Child<QCheckBox>(dialog.get(), "m_CHKAllTables")->text(), QString("All tables"));
        auto* source = Child<QPushButton>(dialog.get(), "m_BTNSourceDB");
        QCOMPARE(source->text(), QString("Select"));
        QCOMPARE(source->toolTip(), QString("Browse source database"));
        QCOMPARE(Child<QPushButton>(dialog.get(), "m_BTNDestDB")->toolTip(), QString("Browse destination database"));
        QCOMPARE(Child<QPushButton>(dialog.get(), "m_BTNRefresh")->text(), QString("Refresh"));
        QCOMPARE(Child<QPushButton>(dialog.get(), "m_BTNRefresh")->toolTip(), QString("Refresh table list"));
        auto* copy = Child<QPushButton>(dialog.get(), "m_BTNCopy");
        QCOMPARE(copy->text(), QString("Copy"));
        QCOMPARE(copy->toolTip(), QString("Copy"));
        QVERIFY(!copy->isDefault());
        QVERIFY(!copy->autoDefault());
        QCOMPARE(List(dialog.get())->headerItem()->text(0), QString("Name"));
        QCOMPARE(List(dialog.get())->headerItem()->text(1), QString("Trigger(s)"));
        QCOMPARE(List(dialog.get())->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->isReadOnly());
        QVERIFY(Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->text().isEmpty());
        QCOMPARE(WithoutMnemonic(Child<QAction>(dialog.get(), "ID_MEN_EXIT")->text()), QString("Quit\tCtrl+Q"));
        QCOMPARE(WithoutMnemonic(Child<QAction>(dialog.get(), "ID_MEN_HELP")->text()), QString("Help\tF1"));
        QCOMPARE(WithoutMnemonic(Child<QMenu>(dialog.get(), "ID_MEN_FILE")->title()), QString("File"));
        QCOMPARE(WithoutMnemonic(Child<QMenu>(dialog.get(), "ID_MEN_HELPMENU")->title()), QString("?"));
        QCOMPARE(Child<QAction>(dialog.get(), "ID_MEN_SOURCE")->shortcut(), QKeySequence("Ctrl+S"));
        // Users and passwords start as the defaults, the names empty.
        QCOMPARE(dialog->m_sSourceUser, std::u16string(u"SYSDBA"));
        QCOMPARE(dialog->m_sDestPassword, std::u16string(u"velvetoak"));
        QVERIFY(dialog->m_sSourceDb.empty());
        QCOMPARE(QString::fromStdU16String(dialog->m_sHomeBase), m_sProgram);
        QCOMPARE(QString::fromStdU16String(dialog->m_sAppDir), m_sConfig + "Quenstead/Rowmover/");
        // The side pictures are drawn.
        QVERIFY(!Child<QLabel>(dialog.get(), "m_PICSourceDB")->pixmap().isNull());
        QVERIFY(!Child<QLabel>(dialog.get(), "m_PICDestDB")->pixmap().isNull());
    }

    void HelpTextEntriesGoWhenTheirFilesAreMissing()
    {
        QFile::remove(m_sProgram + "ReadMe.txt");
        {
            auto dialog = Start();
            QVERIFY(dialog->findChild<QAction*>("ID_MEN_LICENSE") != nullptr);
            QVERIFY(dialog->findChild<QAction*>("ID_MEN_README") == nullptr);
            QVERIFY(dialog->findChild<QAction*>("ID_MEN_CHECKUPDATE") == nullptr);
            QVERIFY(dialog->findChild<QAction*>("ID_MEN_INFO") != nullptr);
            Child<QAction>(dialog.get(), "ID_MEN_LICENSE")->trigger();
            QCOMPARE(LastShellOpenTarget(), m_sProgram + "License.txt");
        }
        WriteFile(m_sProgram + "ReadMe.txt", "changes");
        QFile::remove(m_sProgram + "License.txt");
        auto dialog = Start();
        QVERIFY(dialog->findChild<QAction*>("ID_MEN_LICENSE") == nullptr);
        QVERIFY(dialog->findChild<QAction*>("ID_MEN_README") != nullptr);
        Child<QAction>(dialog.get(), "ID_MEN_CHECKUPDATE")->trigger();
        QVERIFY(LastShellOpenTarget().endsWith("?lang=ENG&progvers=1.600"));
        Child<QAction>(dialog.get(), "ID_MEN_README")->trigger();
        QCOMPARE(LastShellOpenTarget(), m_sProgram + "ReadMe.txt");
    }

    void TheDefaultLanguageOfTheProgramFolderIsApplied()
    {
        WriteFile(m_sProgram + "Languages.ini",
                  "LanguageDefault=\"Deutsch\"\r\nLanguageName=\"Deutsch\"\r\nLanguageFile=\"Mini.lng\"\r\n");
        WriteFile(m_sProgram + "Mini.lng", "FrmMain.m_BTNRefresh=\"Aktualisieren\"\r\n"
                                           "FrmMain.ID_MEN_EXIT=\"Beenden\tStrg+Q\"\r\n"
                                           "FrmMain.m_aMErrorConnectSource=\"Quelle fehlt.\"\r\n");
        auto dialog = Start();
        QCOMPARE(Child<QPushButton>(dialog.get(), "m_BTNRefresh")->text(), QString("Aktualisieren"));
        QCOMPARE(WithoutMnemonic(Child<QAction>(dialog.get(), "ID_MEN_EXIT")->text()), QString("Beenden\tStrg+Q"));
        QCOMPARE(Child<QLabel>(dialog.get(), "m_LBLTables")->text(), QString("3. Select tables to be copied"));
        QCOMPARE(QString::fromStdU16String(dialog->m_sLanguageFile), m_sProgram + "Mini.lng");
        dialog->m_sSourceDb = Wide(m_root->path().toStdString() + "/missing.fdb");
        dialog->m_sDestDb = dialog->m_sSourceDb + u"2";
        dialog->RefreshTableList();
        QCOMPARE(CMessageBox::LastText(), QString("Quelle fehlt."));
    }

    void TheListHoldsTablesOfBothDatabasesWithTheDestinationsTriggers()
    {
        CTempDatabase source(SourceDdl);
        CTempDatabase dest(DestDdl);
        auto dialog = Start();
        Choose(*dialog, source, dest);
        MarkMessages();
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "m_BTNRefresh"), Qt::LeftButton);
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        QCOMPARE(Column(dialog.get(), 0), (QStringList{"article", "CHECKED", "CUSTOMER", "Orders"}));
        QCOMPARE(List(dialog.get())->topLevelItem(2)->text(1), QString(" CUSTOMER_BI (GEN_CUSTOMER=17) CUSTOMER_AU"));
        QCOMPARE(List(dialog.get())->topLevelItem(3)->text(1), QString());
        QCOMPARE(List(dialog.get())->topLevelItem(0)->text(1), QString());
        QVERIFY(!List(dialog.get())->topLevelItem(0)->icon(0).isNull());
        // A refresh replaces the rows rather than adding to them.
        Child<QAction>(dialog.get(), "ID_MEN_REFRESH")->trigger();
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 4);
    }

    void ChoosingBothDatabasesFillsTheList()
    {
        CTempDatabase source(SourceDdl);
        CTempDatabase dest(DestDdl);
        auto dialog = Start();
        const auto answer = [](const std::string& database) {
            return [database](QWidget* select) {
                QComboBox* box = select->findChild<QComboBox*>("m_CMBDBName");
                box->setEditText(QString::fromStdString(database));
                select->findChild<QLineEdit*>("m_EDTDBUser")->setText(TestUser);
                select->findChild<QLineEdit*>("m_EDTDBPass")->setText(TestPassword);
                QVERIFY(select->findChild<QPushButton*>("m_BTNSQLEditor")->isVisible());
                QTest::mouseClick(select->findChild<QPushButton*>("m_BTNOk"), Qt::LeftButton);
            };
        };
        auto answered = OnNextModal("CDBSelectDlg", answer(source.Name()));
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "m_BTNSourceDB"), Qt::LeftButton);
        QVERIFY(*answered);
        QCOMPARE(Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->text(), QString::fromStdString(source.Name()));
        QCOMPARE(dialog->m_sSourceDb, Wide(source.Name()));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 0);

        answered = OnNextModal("CDBSelectDlg", answer(dest.Name()));
        Child<QAction>(dialog.get(), "ID_MEN_DESTINATION")->trigger();
        QVERIFY(*answered);
        QCOMPARE(Child<QLineEdit>(dialog.get(), "m_EDTDestDB")->text(), QString::fromStdString(dest.Name()));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 4);
    }

    void CancelChangesNothing()
    {
        auto dialog = Start();
        dialog->m_sSourceDb = u"/data/old.fdb";
        Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->setText("/data/old.fdb");
        auto answered = OnNextModal("CDBSelectDlg", [](QWidget* select) {
            select->findChild<QComboBox*>("m_CMBDBName")->setEditText("/data/typed.fdb");
            select->findChild<QLineEdit*>("m_EDTDBUser")->setText("ANNE");
            QTest::mouseClick(select->findChild<QPushButton*>("m_BTNCancel"), Qt::LeftButton);
        });
        dialog->OnBrowseSource();
        QVERIFY(*answered);
        QCOMPARE(Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->text(), QString("/data/old.fdb"));
        QCOMPARE(dialog->m_sSourceDb, std::u16string(u"/data/old.fdb"));
        QCOMPARE(dialog->m_sSourceUser, std::u16string(u"SYSDBA"));
    }

    void DatabasesThatCannotBeAttachedGetTheMessageAndChangeNothing()
    {
        CTempDatabase good("CREATE TABLE T (ID INTEGER);");
        QTemporaryDir bad;
        const QString missing = bad.path() + "/missing.fdb";
        const QString text = bad.path() + "/notes.fdb";
        WriteFile(text, "this is not a Firebird database\n");
        const QString folder = bad.path() + "/folder.fdb";
        QDir().mkpath(folder);
        // A file nobody may read; the superuser reads it all the same, so
        // there it is left out.
        const bool superuser = ::geteuid() == 0;
        const QString locked = bad.path() + "/locked.fdb";
        QFile::copy(QString::fromStdString(good.Path()), locked);
        QFile::setPermissions(locked, QFileDevice::Permissions());
        const QByteArray lockedBytes = ReadFile(locked);

        auto dialog = Start();
        QStringList names{missing, text, folder};
        if (!superuser)
            names << locked;
        for (const QString& name : names)
        {
            for (const bool asSource : {true, false})
            {
                dialog->m_sSourceDb = asSource ? name.toStdU16String() : Wide(good.Name());
                dialog->m_sDestDb = asSource ? Wide(good.Name()) : name.toStdU16String();
                MarkMessages();
                Child<QAction>(dialog.get(), "ID_MEN_REFRESH")->trigger();
                QCOMPARE(CMessageBox::LastText(),
                         QString(asSource ? "Cannot attach source database." : "Cannot attach destination database."));
                QCOMPARE(CMessageBox::LastCaption(), QString("ERROR"));
                QCOMPARE(List(dialog.get())->topLevelItemCount(), 0);
            }
        }
        QVERIFY(!QFileInfo::exists(missing));
        QCOMPARE(ReadFile(text), QByteArray("this is not a Firebird database\n"));
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(ReadFile(locked), lockedBytes);
        // Only the files given: no run folder, no copy, no error file.
        QCOMPARE(QDir(bad.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);
        QVERIFY(!QFileInfo::exists(m_sProgram + "update_error.txt"));
        QCOMPARE(QDir(m_sProgram).entryList(QDir::Files).size(), 3);
    }

    void SelectAllAndInvertSelection()
    {
        CTempDatabase source(SourceDdl);
        CTempDatabase dest(DestDdl);
        auto dialog = Start();
        Choose(*dialog, source, dest);
        dialog->RefreshTableList();
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 4);
        List(dialog.get())->topLevelItem(1)->setSelected(true);
        List(dialog.get())->topLevelItem(3)->setSelected(true);
        Child<QAction>(dialog.get(), "ID_MEN_INVERTSELECTION")->trigger();
        QCOMPARE(SelectedRows(dialog.get()), (QList<int>{0, 2}));
        Child<QAction>(dialog.get(), "ID_MEN_SELECTALL")->trigger();
        QCOMPARE(SelectedRows(dialog.get()), (QList<int>{0, 1, 2, 3}));
        // The window's keys win over a focused box's own: Ctrl+I inverts the
        // list, Ctrl+A selects every table, not the box's text.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->setText("x.fdb");
        Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(SelectedRows(dialog.get()), QList<int>());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(SelectedRows(dialog.get()), (QList<int>{0, 1, 2, 3}));
        QVERIFY(!Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->hasSelectedText());
    }

    void DoubleClickOpensTheEditorOnTheFirstSelectedTable()
    {
        CTempDatabase source(SourceDdl);
        CTempDatabase dest(DestDdl);
        source.Run("INSERT INTO CUSTOMER VALUES (5);");
        auto dialog = Start();
        dialog->m_sSourceUser = Wide(TestUser);
        dialog->m_sSourcePassword = Wide(TestPassword);
        Choose(*dialog, source, dest);
        dialog->RefreshTableList();
        // Without a selected row nothing opens.
        QVERIFY(!WindowCameDuring("CDBSQLDlg", [&] { dialog->OnTableDblClick(); }));

        // A double click on a row opens the editor on the source database
        // with that table's records.
        auto seen = std::make_shared<std::pair<bool, std::string>>(false, "");
        const auto look = [seen](QWidget* editor) {
            // The table's rows come from the editor's thread.
            auto* sqlEditor = static_cast<CDBSQLDlg*>(editor);
            if (!QTest::qWaitFor([sqlEditor] { return !sqlEditor->IsBusy(); }, 20000))
                qWarning("the editor is still busy");
            seen->first = static_cast<CDBSQLDlg*>(editor)->IsAttached();
            seen->second = static_cast<CDBSQLDlg*>(editor)->CurrentTableName();
            static_cast<CDBSQLDlg*>(editor)->OnExit();
        };
        auto answered = OnNextModal("CDBSQLDlg", look);
        const QPoint centre = List(dialog.get())->visualItemRect(List(dialog.get())->topLevelItem(2)).center();
        QTest::mouseClick(List(dialog.get())->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(List(dialog.get())->viewport(), Qt::LeftButton, {}, centre);
        QVERIFY(*answered);
        QVERIFY(seen->first);
        QCOMPARE(seen->second, std::string("CUSTOMER"));

        // With several rows selected the first one from the top counts.
        List(dialog.get())->clearSelection();
        List(dialog.get())->topLevelItem(3)->setSelected(true);
        List(dialog.get())->topLevelItem(1)->setSelected(true);
        answered = OnNextModal("CDBSQLDlg", look);
        dialog->OnTableDblClick();
        QVERIFY(*answered);
        QCOMPARE(seen->second, std::string("CHECKED"));
        QCOMPARE(dialog->m_sSourceDb, Wide(source.Name()));
    }

    void TheSqlEditorEntryAsksForADatabaseFirst()
    {
        auto dialog = Start();
        bool buttonShown = true;
        auto editorShown = std::make_shared<std::shared_ptr<bool>>();
        auto answered = OnNextModal("CDBSelectDlg", [&](QWidget* select) {
            buttonShown = select->findChild<QPushButton*>("m_BTNSQLEditor")->isVisible();
            *editorShown = OnNextModal("CDBSQLDlg", [](QWidget* editor) { editor->close(); });
            QTest::mouseClick(select->findChild<QPushButton*>("m_BTNCancel"), Qt::LeftButton);
        });
        SetNextFileDialogAnswer(QString());
        Child<QAction>(dialog.get(), "ID_MEN_SQLEDITOR")->trigger();
        QVERIFY(*answered);
        QVERIFY(!buttonShown);
        QVERIFY(*editorShown && **editorShown);
    }

    void OneDroppedFileGoesToTheSourceThenTheDestination()
    {
        auto dialog = Start();
        const QString first = m_root->path() + "/Old.FDB";
        const QString second = m_root->path() + "/new.gdb";
        MarkMessages();
        dialog->OnDropFiles({first});
        QCOMPARE(dialog->m_sSourceDb, ("localhost:" + first).toStdU16String());
        QCOMPARE(Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->text(), "localhost:" + first);
        QVERIFY(dialog->m_sDestDb.empty());
        // The missing file is tried at once.
        QCOMPARE(CMessageBox::LastText(), QString("Cannot attach source database."));

        // The second file, dropped as a real drop, refreshes the list: the
        // missing files cannot be attached.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(second)});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &drop);
        QCOMPARE(dialog->m_sDestDb, ("localhost:" + second).toStdU16String());
        QCOMPARE(Child<QLineEdit>(dialog.get(), "m_EDTDestDB")->text(), "localhost:" + second);
        QCOMPARE(CMessageBox::LastText(), QString("Cannot attach source database."));
        QCOMPARE(dialog->m_sSourceUser, std::u16string(u"SYSDBA"));
    }

    void DroppedFilesWithOtherExtensionsOrCountsAreIgnored()
    {
        auto dialog = Start();
        const QString dir = m_root->path() + "/";
        MarkMessages();
        dialog->OnDropFiles({dir + "notes.txt"});
        dialog->OnDropFiles({dir + "a.fdb", dir + "b.fdb", dir + "c.fdb"});
        QVERIFY(dialog->m_sSourceDb.empty());
        QVERIFY(dialog->m_sDestDb.empty());
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));

        // A .txt with a .fdb: only the destination, which is tried at once.
        dialog->OnDropFiles({dir + "notes.txt", dir + "b.fdb"});
        QVERIFY(dialog->m_sSourceDb.empty());
        QCOMPARE(dialog->m_sDestDb, ("localhost:" + dir + "b.fdb").toStdU16String());
        QCOMPARE(CMessageBox::LastText(), QString("Cannot attach destination database."));
    }

    void TwoDroppedDatabasesBecomeSourceAndDestination()
    {
        auto dialog = Start();
        dialog->m_sSourceUser = u"ANNE";
        const QString dir = m_root->path() + "/";
        MarkMessages();
        dialog->OnDropFiles({dir + "old.gdb", dir + "new.fdb"});
        QCOMPARE(dialog->m_sSourceDb, ("localhost:" + dir + "old.gdb").toStdU16String());
        QCOMPARE(dialog->m_sDestDb, ("localhost:" + dir + "new.fdb").toStdU16String());
        QCOMPARE(Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->text(), "localhost:" + dir + "old.gdb");
        QCOMPARE(Child<QLineEdit>(dialog.get(), "m_EDTDestDB")->text(), "localhost:" + dir + "new.fdb");
        QCOMPARE(CMessageBox::LastText(), QString("Cannot attach source database."));
        // Users and passwords are not touched by a drop.
        QCOMPARE(dialog->m_sSourceUser, std::u16string(u"ANNE"));
    }

    void SettingsAreSavedByTheCloseBoxOnly()
    {
        {
            auto dialog = Start();
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            QVERIFY(dialog->isHidden());
            QCOMPARE(dialog->result(), int(QDialog::Rejected));
        }
        QVERIFY(!QFileInfo::exists(SettingsFile()));
        {
            auto dialog = Start();
            Child<QAction>(dialog.get(), "ID_MEN_EXIT")->trigger();
            QVERIFY(dialog->isHidden());
            QCOMPARE(dialog->result(), int(QDialog::Accepted));
        }
        QVERIFY(!QFileInfo::exists(SettingsFile()));
        {
            auto dialog = Start();
            dialog->m_RecentDBs.SetCell(0, 0, "/data/kept.fdb");
            QVERIFY(dialog->close());
        }
        const QByteArray saved = ReadFile(SettingsFile());
        QVERIFY(saved.contains("/data/kept.fdb"));
        QVERIFY(saved.contains(m_sProgram.toUtf8()));
        // The next start reads it back.
        auto dialog = Start();
        QCOMPARE(dialog->m_RecentDBs.GetCell(0, 0), std::string("/data/kept.fdb"));
    }
};

int main(int argc, char** argv)
{
    // Nothing of the test process, Qt included, reaches the real home.
    QTemporaryDir home;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        qputenv(name, home.path().toUtf8());
    qputenv("XDG_DATA_DIRS", home.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    CRowmoverDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CRowmoverDlgTest.moc"
