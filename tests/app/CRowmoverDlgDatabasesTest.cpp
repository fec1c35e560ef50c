// The main window's database choice: names chosen by Browse or by a drop
// with and without a server on this computer, the marks of a failed attach,
// the table list that follows the choice, the selection's caption, the
// window's size and place, and the order of its controls.
#include "MainWindowTestSupport.h"
#include "ModalAnswer.h"

#include "cli/EmbeddedFallback.h"
#include "sqleditor/CDBSelectDlg.h"
#include "support/CTempDatabase.h"
#include "ui/CDisplayTextDlg.h"
#include "ui/CElidedEdit.h"
#include "ui/CMessageBox.h"
#include "ui/FileDialogs.h"
#include "ui/WindowSizes.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
const char* const kOldDdl = "CREATE TABLE CUSTOMER (ID INTEGER); CREATE TABLE ORDERS (ID INTEGER);";
const char* const kNewDdl = "CREATE TABLE CUSTOMER (ID INTEGER); CREATE TABLE ORDERS (ID INTEGER);"
                            "CREATE TABLE STOCK (ID INTEGER);";

QString LanguageFile()
{
    return QStringLiteral(ROWMOVER_RESOURCE_DIR "German.lng");
}

QTreeWidget* List(QWidget* dialog)
{
    return Child<QTreeWidget>(dialog, "m_LISSourceTables");
}

QString Shown(QWidget* dialog, const char* box)
{
    return Child<QLineEdit>(dialog, box)->text();
}

bool Marked(QWidget* dialog, const char* label)
{
    const QColor colour = Child<QLabel>(dialog, label)->palette().color(QPalette::WindowText);
    return colour.red() >= 150 && colour.green() < 80 && colour.blue() < 80;
}

// Puts a known text into the last-message record, so a test sees whether
// a command showed a box.
void MarkMessages()
{
    CMessageBox::ShowError(nullptr, "(no box)", "(none)");
}

// Chooses a database with the window's Select button; the selection starts
// with the file dialog when it has no name yet.
void Browse(CRowmoverDlg& dialog, const char* button, const QString& typed)
{
    auto answered = OnNextModal("CDBSelectDlg", [typed](QWidget* select) {
        if (!typed.isEmpty())
            select->findChild<QComboBox*>("m_CMBDBName")->setEditText(typed);
        QTest::mouseClick(select->findChild<QPushButton*>("m_BTNOk"), Qt::LeftButton);
    });
    QTest::mouseClick(Child<QPushButton>(&dialog, button), Qt::LeftButton);
    QVERIFY(*answered);
}
} // namespace

class CRowmoverDlgDatabasesTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SMainWindowFolders> m_folders;

  private slots:
    void init()
    {
        m_folders = std::make_unique<SMainWindowFolders>();
        CDBSelectDlg::SetServerPrefix(QString());
    }

    void cleanup() { CDBSelectDlg::SetServerPrefix(QString()); }

    void ChosenFilesOpenWithAndWithoutAServer_data()
    {
        QTest::addColumn<bool>("drop");
        QTest::addColumn<bool>("serverRunning");
        QTest::addColumn<bool>("extend");
        for (const bool drop : {false, true})
        {
            const char* how = drop ? "drop" : "browse";
            QTest::addRow("%s, no server", how) << drop << false << true;
            QTest::addRow("%s, server running", how) << drop << true << true;
            QTest::addRow("%s, names not extended", how) << drop << false << false;
        }
    }

    // Nothing listens at Firebird's usual port here, so "localhost:" is a
    // computer without a server; the test server's own port is one with.
    void ChosenFilesOpenWithAndWithoutAServer()
    {
        QFETCH(bool, drop);
        QFETCH(bool, serverRunning);
        QFETCH(bool, extend);
        if (serverRunning && !TestServer().available)
        {
            if (TestServer().required)
                QFAIL(("the test Firebird server is not reachable: " + TestServer().reason).c_str());
            QSKIP("no test Firebird server (ROWMOVER_TEST_SERVER)");
        }
        const QString prefix = serverRunning ? QString::fromStdString(TestServer().prefix) : QString("localhost:");
        CDBSelectDlg::SetServerPrefix(prefix);
        CTempDatabase source(kOldDdl, {"UTF8", false, "old.fdb"});
        CTempDatabase dest(kNewDdl, {"UTF8", false, "new.fdb"});
        const QString sourceFile = QString::fromStdString(source.Path());
        const QString destFile = QString::fromStdString(dest.Path());

        auto dialog = m_folders->Start();
        dialog->m_bExtendDBName = extend;
        MarkMessages();
        if (drop)
        {
            dialog->OnDropFiles({sourceFile});
            dialog->OnDropFiles({destFile});
        }
        else
        {
            SetNextFileDialogAnswer(sourceFile);
            Browse(*dialog, "m_BTNSourceDB", {});
            SetNextFileDialogAnswer(destFile);
            Browse(*dialog, "m_BTNDestDB", {});
        }

        // The names in use are the ones shown, and both databases attached.
        const bool direct = extend && !serverRunning;
        const QString used = extend && serverRunning ? prefix : QString();
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        QCOMPARE(QString::fromStdU16String(dialog->m_sSourceDb), used + sourceFile);
        QCOMPARE(QString::fromStdU16String(dialog->m_sDestDb), used + destFile);
        QCOMPARE(Shown(dialog.get(), "m_EDTSourceDB"), used + sourceFile);
        QCOMPARE(Shown(dialog.get(), "m_EDTDestDB"), used + destFile);
        QCOMPARE(Child<QLineEdit>(dialog.get(), "m_EDTDestDB")->toolTip(), used + destFile);
        // The boxes elide a name that does not fit in its middle.
        auto* box = qobject_cast<CElidedEdit*>(Child<QLineEdit>(dialog.get(), "m_EDTDestDB"));
        QVERIFY(box != nullptr);
        QVERIFY(box->DisplayedText().endsWith(QFileInfo(destFile).fileName()));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 2);
        QVERIFY(!Marked(dialog.get(), "m_LBLSourceDB"));
        QVERIFY(!Marked(dialog.get(), "m_LBLDestDB"));
        auto* status = Child<QLabel>(dialog.get(), "m_LBLStatus");
        QCOMPARE(status->text(), direct ? QString("No Firebird server answered at localhost; opened directly by the "
                                                  "embedded engine: old.fdb, new.fdb")
                                        : QString());
        // The recent list keeps the names as they were picked.
        QCOMPARE(dialog->m_RecentDBs.GetCell(0, 0),
                 drop ? std::string() : ((extend ? prefix : QString()) + destFile).toStdString());

        // The line follows the language.
        dialog->ApplyTexts(LanguageFile().toStdU16String());
        if (direct)
            QCOMPARE(status->text(), QString("Kein Firebird-Server antwortete auf localhost; direkt mit der "
                                             "eingebetteten Engine geöffnet: old.fdb, new.fdb"));
    }

    void AFailedAttachMarksItsFieldAndEmptiesTheList()
    {
        CTempDatabase source(kOldDdl, {"UTF8", false, "old.fdb"});
        CTempDatabase other(kNewDdl, {"UTF8", false, "other.fdb"});
        CTempDatabase dest(kNewDdl, {"UTF8", false, "new.fdb"});
        const QString missing = QString::fromStdString(source.Folder().File("gone.fdb"));
        auto dialog = m_folders->Start();
        dialog->m_bExtendDBName = false;
        dialog->OnDropFiles({QString::fromStdString(source.Path()), QString::fromStdString(dest.Path())});
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 2);

        // Another source that cannot be attached: the old source's tables go.
        MarkMessages();
        Browse(*dialog, "m_BTNSourceDB", missing);
        QCOMPARE(CMessageBox::LastText(), QString("Cannot attach source database."));
        QVERIFY2(CMessageBox::LastDetail().contains("\"" + missing + "\""), qPrintable(CMessageBox::LastDetail()));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 0);
        QCOMPARE(Shown(dialog.get(), "m_EDTSourceDB"), missing);
        QCOMPARE(Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->toolTip(), missing);
        QVERIFY(Marked(dialog.get(), "m_LBLSourceDB"));
        QVERIFY(!Marked(dialog.get(), "m_LBLDestDB"));

        // Copy has no tables to run against: it reads the list once more,
        // which fails again, and says so, not that there are no tables.
        MarkMessages();
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "m_BTNCopy"), Qt::LeftButton);
        QCOMPARE(CMessageBox::LastText(), QString("Cannot attach source database."));
        QVERIFY2(CMessageBox::LastDetail().contains("\"" + missing + "\""), qPrintable(CMessageBox::LastDetail()));
        QVERIFY(dialog->CopyDialog() == nullptr);
        QVERIFY(Marked(dialog.get(), "m_LBLSourceDB"));

        // A source that attaches: the mark goes and the list is the new pair's.
        MarkMessages();
        Browse(*dialog, "m_BTNSourceDB", QString::fromStdString(other.Path()));
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        QVERIFY(!Marked(dialog.get(), "m_LBLSourceDB"));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 3);

        // A destination that fails marks the destination only.
        dialog->OnDropFiles({missing});
        QCOMPARE(CMessageBox::LastText(), QString("Cannot attach destination database."));
        QVERIFY2(CMessageBox::LastDetail().contains("No such file or directory"),
                 qPrintable(CMessageBox::LastDetail()));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 0);
        QVERIFY(!Marked(dialog.get(), "m_LBLSourceDB"));
        QVERIFY(Marked(dialog.get(), "m_LBLDestDB"));
        QCOMPARE(Shown(dialog.get(), "m_EDTDestDB"), missing);
    }

    void NamesBeyondAsciiOpenAndAFailedAttachSaysWhy_data()
    {
        QTest::addColumn<bool>("viaServer");
        QTest::addColumn<bool>("wrongPassword");
        QTest::newRow("embedded, missing file") << false << false;
        QTest::newRow("through the server, missing file") << true << false;
        // A password means nothing to the embedded engine.
        QTest::newRow("through the server, wrong password") << true << true;
    }

    // The selection attaches names beyond ASCII, and a destination that
    // cannot be attached is reported with the server's reason, by the choice
    // and again by Copy, which says nothing about tables.
    void NamesBeyondAsciiOpenAndAFailedAttachSaysWhy()
    {
        QFETCH(bool, viaServer);
        QFETCH(bool, wrongPassword);
        if (viaServer && !TestServer().available)
        {
            if (TestServer().required)
                QFAIL(("the test Firebird server is not reachable: " + TestServer().reason).c_str());
            QSKIP("no test Firebird server (ROWMOVER_TEST_SERVER)");
        }
        CTempDatabase source(kOldDdl, {"UTF8", viaServer, "Grüße €.fdb"});
        CTempDatabase dest(kNewDdl, {"UTF8", viaServer, "数据.fdb"});
        // One attempt: the server answers a wrong password slowly.
        QDir().mkpath(m_folders->DataFolder());
        WriteFile(
            m_folders->DataFolder() + "Rowmover.ini",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<InitFile>\r\n<Retries>1</Retries>\r\n</InitFile>\r\n");
        auto dialog = m_folders->Start();
        dialog->m_bExtendDBName = false;
        MarkMessages();
        Browse(*dialog, "m_BTNSourceDB", QString::fromStdString(source.Name()));
        Browse(*dialog, "m_BTNDestDB", QString::fromStdString(dest.Name()));
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 2);

        const QString missing = QString::fromStdString(dest.Folder().File("fehlt ü.fdb"));
        QString failing = (viaServer ? QString::fromStdString(TestServer().prefix) : QString()) + missing;
        // The reason names the file as it was given.
        QString reason = "\"" + missing + "\"";
        if (wrongPassword)
        {
            failing = QString::fromStdString(dest.Name());
            dialog->m_sDestPassword = u"wrong";
            reason = "Your user name and password are not defined";
        }
        MarkMessages();
        Browse(*dialog, "m_BTNDestDB", failing);
        QCOMPARE(CMessageBox::LastText(), QString("Cannot attach destination database."));
        QVERIFY2(CMessageBox::LastDetail().contains(reason), qPrintable(CMessageBox::LastDetail()));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 0);

        MarkMessages();
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "m_BTNCopy"), Qt::LeftButton);
        QCOMPARE(CMessageBox::LastText(), QString("Cannot attach destination database."));
        QVERIFY2(CMessageBox::LastDetail().contains(reason), qPrintable(CMessageBox::LastDetail()));
        QVERIFY(dialog->CopyDialog() == nullptr);
    }

    void AnAttachThatNeverAnswersIsCancelledAndTheWindowIsAsItWas()
    {
        CTempDatabase source(kOldDdl, {"UTF8", false, "old.fdb"});
        CTempDatabase dest(kNewDdl, {"UTF8", false, "new.fdb"});
        auto dialog = m_folders->Start();
        dialog->m_bExtendDBName = false;
        dialog->OnDropFiles({QString::fromStdString(source.Path()), QString::fromStdString(dest.Path())});
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 2);

        // A server that takes the connection and never answers.
        const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(silent, 8);
        socklen_t length = sizeof address;
        ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
        const QString hanging = QString("127.0.0.1/%1:/srv/never.fdb").arg(ntohs(address.sin_port));

        int shown = 0;
        QElapsedTimer clock;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (widget->objectName() == "CWaitDlg" && widget->isVisible())
                {
                    ++shown;
                    QVERIFY(clock.elapsed() >= 400);
                    QTest::mouseClick(widget->findChild<QPushButton*>("m_BTNCancel"), Qt::LeftButton);
                }
        });
        poll.start(20);
        MarkMessages();
        // Refresh: the list and the names stay.
        const std::u16string chosenSource = dialog->m_sSourceDb;
        dialog->m_sSourceDb = hanging.toStdU16String();
        clock.start();
        QVERIFY(!dialog->RefreshTableList());
        QCOMPARE(shown, 1);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 2);
        dialog->m_sSourceDb = chosenSource;
        // Select: the choice is taken back.
        clock.start();
        Browse(*dialog, "m_BTNSourceDB", hanging);
        QCOMPARE(shown, 2);
        QCOMPARE(dialog->m_sSourceDb, chosenSource);
        QCOMPARE(Shown(dialog.get(), "m_EDTSourceDB"), QString::fromStdString(source.Path()));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 2);
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        poll.stop();
        ::close(silent);
    }

    void TheSelectionSaysWhichDatabaseItChooses_data()
    {
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("caption");
        QTest::newRow("source") << false << "ID_MEN_SOURCE"
                                << "Select source database";
        QTest::newRow("destination") << false << "ID_MEN_DESTINATION"
                                     << "Select destination database";
        QTest::newRow("Quelle") << true << "ID_MEN_SOURCE"
                                << "Quelldatenbank auswählen";
        QTest::newRow("Ziel") << true << "ID_MEN_DESTINATION"
                              << "Zieldatenbank auswählen";
    }

    void TheSelectionSaysWhichDatabaseItChooses()
    {
        QFETCH(bool, german);
        QFETCH(QString, entry);
        QFETCH(QString, caption);
        auto dialog = m_folders->Start();
        if (german)
            dialog->ApplyTexts(LanguageFile().toStdU16String());
        dialog->m_sSourceDb = u"/data/old.fdb";
        dialog->m_sDestDb = u"/data/new.fdb";
        auto title = std::make_shared<QString>();
        auto answered = OnNextModal("CDBSelectDlg", [title](QWidget* select) {
            *title = select->windowTitle();
            QTest::mouseClick(select->findChild<QPushButton*>("m_BTNCancel"), Qt::LeftButton);
        });
        Child<QAction>(dialog.get(), entry.toLatin1().constData())->trigger();
        QVERIFY(*answered);
        QCOMPARE(*title, caption);
    }

    void TheTableListTakesTheRoomOfAGrownWindow()
    {
        QRect kept;
        {
            auto dialog = m_folders->Start();
            QVERIFY(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
            QVERIFY(dialog->maximumWidth() > dialog->width());
            auto* list = List(dialog.get());
            auto* box = Child<QLineEdit>(dialog.get(), "m_EDTSourceDB");
            auto* select = Child<QPushButton>(dialog.get(), "m_BTNDestDB");
            const QSize listSize = list->size();
            const QRect boxArea = box->geometry();
            const QRect selectArea = select->geometry();
            const int copyRight = Child<QPushButton>(dialog.get(), "m_BTNCopy")->geometry().right();
            dialog->move(30, 40);
            dialog->resize(dialog->size() + QSize(200, 150));
            QTRY_COMPARE(list->size(), listSize + QSize(200, 150));
            QCOMPARE(box->geometry(), boxArea);
            QCOMPARE(select->geometry(), selectArea);
            QCOMPARE(Child<QPushButton>(dialog.get(), "m_BTNCopy")->geometry().right(), copyRight + 200);
            kept = dialog->geometry();
            QVERIFY(dialog->close());
        }
        QVERIFY(ReadFile(m_folders->DataFolder() + "Rowmover.ini")
                    .contains(QString("<WinPos_Main>%1;%2;%3;%4</WinPos_Main>")
                                  .arg(kept.left())
                                  .arg(kept.top())
                                  .arg(kept.left() + kept.width())
                                  .arg(kept.top() + kept.height())
                                  .toUtf8()));
        {
            auto dialog = m_folders->Start();
            QCOMPARE(dialog->geometry(), kept);
            dialog->showMaximized();
            QTRY_VERIFY(dialog->isMaximized());
            QVERIFY(dialog->close());
        }
        QVERIFY(ReadFile(m_folders->DataFolder() + "Rowmover.ini").contains("<WinPos_Main>0;0;-1;-1</WinPos_Main>"));
        auto dialog = m_folders->Start();
        QVERIFY(dialog->isMaximized());
    }

    void TheSizesGivenToItsWindowsOutliveTheProgram()
    {
        {
            auto dialog = m_folders->Start();
            CDisplayTextDlg viewer({}, dialog->FontSettings(), "none.txt", dialog.get());
            viewer.show();
            QVERIFY(QTest::qWaitForWindowExposed(&viewer));
            viewer.resize(811, 533);
            viewer.close();
            QVERIFY(dialog->close());
        }
        QVERIFY(ReadFile(m_folders->DataFolder() + "Rowmover.ini").contains("CDisplayTextDlg=811x533"));
        LoadWindowSizes("");
        auto dialog = m_folders->Start();
        CDisplayTextDlg viewer({}, dialog->FontSettings(), "none.txt", dialog.get());
        QCOMPARE(viewer.size(), QSize(811, 533));
    }

    void TabFollowsTheOrderOfReading()
    {
        auto dialog = m_folders->Start();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->setFocus();
        QStringList order{QApplication::focusWidget()->objectName()};
        for (int step = 0; step < 8; ++step)
        {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order, (QStringList{"m_EDTSourceDB", "m_BTNSourceDB", "m_EDTDestDB", "m_BTNDestDB", "m_CHKAllTables",
                                     "m_BTNRefresh", "m_LISSourceTables", "m_BTNCheck", "m_BTNCopy"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("m_BTNCheck"));
    }

    void LocalServerNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("local");
        QTest::newRow("localhost") << "localhost:/data/a.fdb" << true;
        QTest::newRow("letter case") << "LocalHost:/data/a.fdb" << true;
        QTest::newRow("port") << "localhost/3051:/data/a.fdb" << true;
        QTest::newRow("loopback address") << "127.0.0.1:/data/a.fdb" << true;
        QTest::newRow("file") << "/data/a.fdb" << false;
        QTest::newRow("other host") << "dbhost:/data/a.fdb" << false;
        QTest::newRow("longer host") << "localhost2:/data/a.fdb" << false;
        QTest::newRow("colon in the folder") << "/data/x:y/a.fdb" << false;
    }

    void LocalServerNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, local);
        QCOMPARE(IsLocalServerName(name.toStdU16String()), local);
    }

    void NoFallbackForAServerThatAnswersOrAMissingFile()
    {
        CTempDatabase database(kOldDdl);
        const std::u16string file = Wide(database.Path());
        // No server, but no file either: nothing to open directly.
        QCOMPARE(EmbeddedFallbackName(u"localhost:" + file + u"x", u"SYSDBA", u"velvetoak"), std::u16string());
        QCOMPARE(EmbeddedFallbackName(u"localhost:" + file, u"SYSDBA", u"velvetoak"), file);
        if (TestServer().available)
            QCOMPARE(EmbeddedFallbackName(Wide(TestServer().prefix) + file, u"SYSDBA", u"wrong"), std::u16string());
    }
};

MAIN_WINDOW_TEST_MAIN(CRowmoverDlgDatabasesTest)

#include "CRowmoverDlgDatabasesTest.moc"
