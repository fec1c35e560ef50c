#include "sqleditor/CDBSelectDlg.h"

#include "support/CTempDatabase.h"
#include "ui/CFontSettings.h"
#include "ui/CMessageBox.h"
#include "ui/FileDialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

// The inputs a caller lends the dialog.
struct SCaller
{
    std::u16string languageFile;
    std::u16string database;
    std::u16string user;
    std::u16string password;
    std::u16string defaultUser = u"SYSDBA";
    std::u16string defaultPassword = u"velvetoak";
    CStringGrid recent;
    SWindowRect rect;
    bool remember = true;
    bool extend = true;
    bool sqlButton = true;

    SCaller() { recent.SetSize(2, 26); }

    SSelectDatabaseArgs Args(CFontSettings& font)
    {
        return SSelectDatabaseArgs{languageFile,    font, database, user,   password, sqlButton, defaultUser,
                                   defaultPassword, 1,    remember, recent, extend,   rect};
    }
};

class CDBSelectDlgTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<CFontSettings> m_font;

    template <typename T> static T* Child(QWidget* dialog, const char* name)
    {
        T* child = dialog->findChild<T*>(name);
        if (child == nullptr)
            qFatal("no child %s", name);
        return child;
    }
    static QComboBox* Box(QWidget* dialog) { return Child<QComboBox>(dialog, "m_CMBDBName"); }
    static QStringList Entries(QWidget* dialog)
    {
        QStringList entries;
        for (int i = 0; i < Box(dialog)->count(); ++i)
            entries << Box(dialog)->itemText(i);
        return entries;
    }
    static void Click(QWidget* dialog, const char* button)
    {
        QTest::mouseClick(Child<QPushButton>(dialog, button), Qt::LeftButton);
    }

  private slots:
    void initTestCase()
    {
        m_owner = std::make_unique<QWidget>();
        m_font = std::make_unique<CFontSettings>(m_owner.get());
    }

    void ShowsTheCallersTextsAndTheEnglishTexts()
    {
        SCaller caller;
        caller.database = u"/data/shop.fdb";
        caller.user = u"ANNE";
        caller.password = u"secret";
        SSelectDatabaseArgs args = caller.Args(*m_font);
        CDBSelectDlg dialog(args);
        QCOMPARE(dialog.windowTitle(), QString("Select database"));
        QCOMPARE(Box(&dialog)->currentText(), QString("/data/shop.fdb"));
        QCOMPARE(Child<QLineEdit>(&dialog, "m_EDTDBUser")->text(), QString("ANNE"));
        QCOMPARE(Child<QLineEdit>(&dialog, "m_EDTDBPass")->text(), QString("secret"));
        QCOMPARE(Child<QLineEdit>(&dialog, "m_EDTDBPass")->echoMode(), QLineEdit::Password);
        QCOMPARE(Child<QLabel>(&dialog, "m_LBLDBName")->text(), QString("Database"));
        QCOMPARE(Child<QLabel>(&dialog, "m_LBLDBUser")->text(), QString("User"));
        QCOMPARE(Child<QLabel>(&dialog, "m_LBLDBPass")->text(), QString("Password"));
        QCOMPARE(Child<QPushButton>(&dialog, "m_BTNBrowse")->text(), QString("Browse"));
        QCOMPARE(Child<QPushButton>(&dialog, "m_BTNSQLEditor")->text(), QString("SQL Editor"));
        QCOMPARE(Child<QPushButton>(&dialog, "m_BTNOk")->text(), QString("OK"));
        QCOMPARE(Child<QPushButton>(&dialog, "m_BTNCancel")->text(), QString("Cancel"));
        QVERIFY(Child<QPushButton>(&dialog, "m_BTNOk")->isDefault());
        QVERIFY(!Child<QLabel>(&dialog, "m_PICDatabase")->pixmap().isNull());
    }

    void EmptyCredentialsShowTheDefaults()
    {
        SCaller caller;
        caller.database = u"/data/shop.fdb";
        SSelectDatabaseArgs args = caller.Args(*m_font);
        CDBSelectDlg dialog(args);
        QCOMPARE(Child<QLineEdit>(&dialog, "m_EDTDBUser")->text(), QString("SYSDBA"));
        QCOMPARE(Child<QLineEdit>(&dialog, "m_EDTDBPass")->text(), QString("velvetoak"));
    }

    void AnEmptyDatabaseOpensTheFileDialogBeforeTheDialogShows()
    {
        SCaller caller;
        SSelectDatabaseArgs args = caller.Args(*m_font);
        SetNextFileDialogAnswer("/data/chosen.fdb");
        CDBSelectDlg dialog(args);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(Box(&dialog)->currentText(), QString("localhost:/data/chosen.fdb"));
        QVERIFY(LastFileDialogFilter().startsWith("Firebird/Interbase databases (*.fdb* *.gdb)"));
        QCOMPARE(Entries(&dialog), QStringList{"localhost:/data/chosen.fdb"});
    }

    void ALinuxPathGainsOnlyThePrefixAWindowsPathDoubledBackslashes()
    {
        QCOMPARE(CDBSelectDlg::ExtendedDatabaseName("/srv/db/a\\b.fdb"), QString("localhost:/srv/db/a\\b.fdb"));
        QCOMPARE(CDBSelectDlg::ExtendedDatabaseName("C:\\a\\b.fdb"), QString("localhost:C:\\\\a\\\\b.fdb"));

        SCaller caller;
        caller.extend = false;
        caller.database = u"x";
        SSelectDatabaseArgs args = caller.Args(*m_font);
        CDBSelectDlg dialog(args);
        SetNextFileDialogAnswer("/data/plain.fdb");
        Click(&dialog, "m_BTNBrowse");
        QCOMPARE(Box(&dialog)->currentText(), QString("/data/plain.fdb"));
    }

    void BrowseStartsInTheFolderOfTheDatabaseChosen()
    {
        QTemporaryDir folder;
        const struct
        {
            QString database;
            QString start;
        } cases[] = {
            {"localhost:" + folder.path() + "/old.fdb", folder.path()},
            {"localhost/3050:" + folder.path() + "/old.fdb", folder.path()},
            {folder.path() + "/old.fdb", folder.path()},
            // A folder that is not there gives the dialog no start.
            {"localhost:/no/such/folder/old.fdb", QString()},
        };
        for (const auto& c : cases)
        {
            SCaller caller;
            caller.database = c.database.toStdU16String();
            SSelectDatabaseArgs args = caller.Args(*m_font);
            CDBSelectDlg dialog(args);
            SetNextFileDialogAnswer(QString());
            Click(&dialog, "m_BTNBrowse");
            QCOMPARE(LastFileDialogInitialPath(), c.start);
        }
    }

    void TheDestinationsWindowWearsTheDestinationsPicture()
    {
        QImage pictures[2];
        int i = 0;
        for (const CDBSelectDlg::ERole role : {CDBSelectDlg::ERole::Source, CDBSelectDlg::ERole::Destination})
        {
            SCaller caller;
            caller.database = u"/data/shop.fdb";
            SSelectDatabaseArgs args = caller.Args(*m_font);
            CDBSelectDlg dialog(args, nullptr, role);
            pictures[i++] = Child<QLabel>(&dialog, "m_PICDatabase")->pixmap().toImage();
        }
        QVERIFY(!pictures[0].isNull());
        QCOMPARE(pictures[1].size(), pictures[0].size());
        QVERIFY(pictures[0] != pictures[1]);
        // Green where the source's picture is blue.
        const QColor source = pictures[0].pixelColor(pictures[0].width() / 2, pictures[0].height() / 4);
        const QColor dest = pictures[1].pixelColor(pictures[1].width() / 2, pictures[1].height() / 4);
        QVERIFY2(source.blue() > source.green() && dest.green() > dest.blue(),
                 qPrintable(source.name() + " " + dest.name()));
    }

    void ACancelledFileDialogEmptiesTheBoxAndAddsNothing()
    {
        SCaller caller;
        caller.database = u"/data/shop.fdb";
        caller.recent.SetCell(0, 0, "/data/one.fdb");
        SSelectDatabaseArgs args = caller.Args(*m_font);
        CDBSelectDlg dialog(args);
        SetNextFileDialogAnswer(QString());
        Click(&dialog, "m_BTNBrowse");
        QCOMPARE(Box(&dialog)->currentText(), QString());
        QCOMPARE(Entries(&dialog), QStringList{"/data/one.fdb"});
    }

    void AKnownFileInOtherLetterCaseIsNotAddedTwiceANewOneGoesOnTop()
    {
        SCaller caller;
        caller.extend = false;
        caller.database = u"/data/shop.fdb";
        caller.recent.SetCell(0, 0, "/data/one.fdb");
        caller.recent.SetCell(0, 1, "/data/Two.fdb");
        SSelectDatabaseArgs args = caller.Args(*m_font);
        CDBSelectDlg dialog(args);
        // The caller's database stays in the box although the list filled it.
        QCOMPARE(Box(&dialog)->currentText(), QString("/data/shop.fdb"));
        SetNextFileDialogAnswer("/DATA/TWO.FDB");
        Click(&dialog, "m_BTNBrowse");
        QCOMPARE(Entries(&dialog), (QStringList{"/data/one.fdb", "/data/Two.fdb"}));
        QCOMPARE(Box(&dialog)->currentText(), QString("/DATA/TWO.FDB"));
        SetNextFileDialogAnswer("/data/three.fdb");
        Click(&dialog, "m_BTNBrowse");
        QCOMPARE(Entries(&dialog), (QStringList{"/data/three.fdb", "/data/one.fdb", "/data/Two.fdb"}));
    }

    void ChoosingTheThirdEntryMovesItToTheTop()
    {
        SCaller caller;
        caller.database = u"/data/shop.fdb";
        for (int i = 0; i < 4; ++i)
            caller.recent.SetCell(0, i, "/data/" + std::to_string(i) + ".fdb");
        SSelectDatabaseArgs args = caller.Args(*m_font);
        CDBSelectDlg dialog(args);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        // Chosen from the opened list, as a user does.
        Box(&dialog)->showPopup();
        QAbstractItemView* view = Box(&dialog)->view();
        QTRY_VERIFY(view->isVisible());
        const QRect third = view->visualRect(view->model()->index(2, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, third.center());
        QTRY_COMPARE(Entries(&dialog), (QStringList{"/data/2.fdb", "/data/0.fdb", "/data/1.fdb", "/data/3.fdb"}));
        QCOMPARE(Box(&dialog)->currentIndex(), 0);
        QCOMPARE(Box(&dialog)->currentText(), QString("/data/2.fdb"));

        // Stepping through the closed list with the arrow keys shows the
        // entries without reordering them.
        Box(&dialog)->setFocus();
        QTest::keyClick(Box(&dialog), Qt::Key_Down);
        QTest::keyClick(Box(&dialog), Qt::Key_Down);
        QCOMPARE(Box(&dialog)->currentText(), QString("/data/1.fdb"));
        QCOMPARE(Entries(&dialog), (QStringList{"/data/2.fdb", "/data/0.fdb", "/data/1.fdb", "/data/3.fdb"}));
    }

    void ARecentListWithAnEmptyThirdEntryLoadsTwo()
    {
        SCaller caller;
        caller.database = u"/data/shop.fdb";
        caller.recent.SetCell(0, 0, "/data/a.fdb");
        caller.recent.SetCell(0, 1, "/data/b.fdb");
        caller.recent.SetCell(0, 3, "/data/d.fdb");
        SSelectDatabaseArgs args = caller.Args(*m_font);
        {
            CDBSelectDlg dialog(args);
            QCOMPARE(Entries(&dialog), (QStringList{"/data/a.fdb", "/data/b.fdb"}));
        }
        // Rows past the box's entries keep what they held.
        QCOMPARE(caller.recent.GetCell(0, 3), std::string("/data/d.fdb"));
    }

    void AtMostTwentyFiveEntriesAreLoadedAndTwentySixWritten()
    {
        SCaller caller;
        caller.database = u"/data/shop.fdb";
        caller.extend = false;
        for (int i = 0; i < 26; ++i)
            caller.recent.SetCell(0, i, "/data/" + std::to_string(i) + ".fdb");
        SSelectDatabaseArgs args = caller.Args(*m_font);
        {
            CDBSelectDlg dialog(args);
            QCOMPARE(Box(&dialog)->count(), 25);
            SetNextFileDialogAnswer("/data/new.fdb");
            Click(&dialog, "m_BTNBrowse");
            QCOMPARE(Box(&dialog)->count(), 26);
            Click(&dialog, "m_BTNCancel");
        }
        QCOMPARE(caller.recent.GetCell(0, 0), std::string("/data/new.fdb"));
        QCOMPARE(caller.recent.GetCell(0, 1), std::string("/data/0.fdb"));
        QCOMPARE(caller.recent.GetCell(0, 25), std::string("/data/24.fdb"));
    }

    void WithoutRememberingTheListIsNeitherShownNorWritten()
    {
        SCaller caller;
        caller.remember = false;
        caller.database = u"/data/shop.fdb";
        caller.recent.SetCell(0, 0, "/data/a.fdb");
        SSelectDatabaseArgs args = caller.Args(*m_font);
        {
            CDBSelectDlg dialog(args);
            QCOMPARE(Box(&dialog)->count(), 0);
            SetNextFileDialogAnswer("/data/new.fdb");
            Click(&dialog, "m_BTNBrowse");
            QCOMPARE(Box(&dialog)->count(), 0);
            Click(&dialog, "m_BTNOk");
        }
        QCOMPARE(caller.recent.GetCell(0, 0), std::string("/data/a.fdb"));
        QCOMPARE(caller.database, std::u16string(u"localhost:/data/new.fdb"));
    }

    void MissingInputIsReportedAndTheDialogStaysOpen()
    {
        SCaller caller;
        caller.database = u"/data/shop.fdb";
        SSelectDatabaseArgs args = caller.Args(*m_font);
        CDBSelectDlg dialog(args);
        dialog.show();
        Child<QLineEdit>(&dialog, "m_EDTDBUser")->clear();
        Click(&dialog, "m_BTNOk");
        QCOMPARE(CMessageBox::LastText(), QString("Missing input. Check database, user and password."));
        QCOMPARE(CMessageBox::LastCaption(), QString("ERROR"));
        QVERIFY(dialog.isVisible());

        // An empty database box asks for a file first; cancelling it leaves
        // the box empty, which is reported.
        Child<QLineEdit>(&dialog, "m_EDTDBUser")->setText("SYSDBA");
        Box(&dialog)->setEditText(QString());
        SetNextFileDialogAnswer(QString());
        CMessageBox::ShowError(nullptr, "(no box)", "(none)");
        Click(&dialog, "m_BTNOk");
        QCOMPARE(CMessageBox::LastText(), QString("Missing input. Check database, user and password."));
        QVERIFY(dialog.isVisible());

        SetNextFileDialogAnswer("/data/picked.fdb");
        Click(&dialog, "m_BTNOk");
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(caller.database, std::u16string(u"localhost:/data/picked.fdb"));
    }

    void CancelLeavesTheCallersDatabaseUserAndPasswordAlone()
    {
        SCaller caller;
        caller.database = u"/data/shop.fdb";
        caller.user = u"ANN";
        caller.password = u"secret";
        SSelectDatabaseArgs args = caller.Args(*m_font);
        const bool confirmed = [&] {
            QTimer::singleShot(0, [] {
                QWidget* dialog = QApplication::activeModalWidget();
                Box(dialog)->setEditText("/data/typed.fdb");
                Child<QLineEdit>(dialog, "m_EDTDBPass")->setText("typed");
                Click(dialog, "m_BTNCancel");
            });
            return CDBSelectDlg::Run(nullptr, args);
        }();
        QVERIFY(!confirmed);
        QCOMPARE(caller.database, std::u16string(u"/data/shop.fdb"));
        QCOMPARE(caller.password, std::u16string(u"secret"));
        QCOMPARE(caller.user, std::u16string(u"ANN"));
    }

    void TheSqlEditorButtonOpensTheEditorOnTheDatabaseAndStaysOpen()
    {
        CTempDatabase db("CREATE TABLE ALPHA (ID INTEGER);");
        SCaller caller;
        caller.database = QString::fromStdString(db.Name()).toStdU16String();
        caller.user = QString::fromLatin1(TestUser).toStdU16String();
        caller.password = QString::fromLatin1(TestPassword).toStdU16String();
        SSelectDatabaseArgs args = caller.Args(*m_font);
        CDBSelectDlg dialog(args);
        dialog.show();
        auto attached = std::make_shared<int>(-1);
        // The editor attaches before it is shown: it is closed once it runs.
        QTimer poll;
        connect(&poll, &QTimer::timeout, [attached] {
            auto* editor = qobject_cast<CDBSQLDlg*>(QApplication::activeModalWidget());
            if (editor == nullptr || *attached != -1)
                return;
            *attached = editor->IsAttached() ? 1 : 0;
            editor->OnExit();
        });
        poll.start(10);
        Click(&dialog, "m_BTNSQLEditor");
        poll.stop();
        QCOMPARE(*attached, 1);
        QVERIFY(dialog.isVisible());

        caller.sqlButton = false;
        SSelectDatabaseArgs hidden = caller.Args(*m_font);
        CDBSelectDlg fromEditor(hidden);
        fromEditor.show();
        QVERIFY(!Child<QPushButton>(&fromEditor, "m_BTNSQLEditor")->isVisible());
    }

    void GermanTexts()
    {
        SCaller caller;
        caller.database = u"/data/shop.fdb";
        caller.languageFile = QStringLiteral(ROWMOVER_RESOURCE_DIR "German.lng").toStdU16String();
        SSelectDatabaseArgs args = caller.Args(*m_font);
        CDBSelectDlg dialog(args);
        QCOMPARE(dialog.windowTitle(), QString("Datenbank auswählen"));
        QCOMPARE(Child<QPushButton>(&dialog, "m_BTNBrowse")->text(), QString("Durchsuchen"));
        Child<QLineEdit>(&dialog, "m_EDTDBPass")->clear();
        Click(&dialog, "m_BTNOk");
        QCOMPARE(CMessageBox::LastCaption(), QString("FEHLER"));
    }
};

int main(int argc, char** argv)
{
    // Nothing of the test process, Qt included, reaches the real home.
    QTemporaryDir home;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        qputenv(name, home.path().toUtf8());
    qputenv("XDG_DATA_DIRS", home.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    CDBSelectDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CDBSelectDlgTest.moc"
