// The copy command of the main window: its checks with their messages and
// focus, the hand-over to the progress window, the commands held back while
// a copy runs, and the logs of the last run.
#include "MainWindowTestSupport.h"
#include "ModalAnswer.h"

#include "app/CDBCopyDlg.h"
#include "support/CTempDatabase.h"
#include "ui/CMessageBox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTreeWidget>

#include <functional>
#include <sys/mount.h>

namespace
{
const char* const kShopDdl = R"(
CREATE TABLE CUSTOMER (ID INTEGER, NAME VARCHAR(20));
CREATE TABLE ORDERS (ID INTEGER);
CREATE TABLE STOCK (ID INTEGER);
)";

const char* const kShopRows = R"(
INSERT INTO CUSTOMER VALUES (1, 'Anne');
INSERT INTO CUSTOMER VALUES (2, 'Bob');
INSERT INTO ORDERS VALUES (7);
INSERT INTO STOCK VALUES (3);
)";

constexpr int kRunTimeoutMs = 120000;
} // namespace

class CRowmoverDlgCopyTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SMainWindowFolders> m_folders;

    static QTreeWidget* List(QWidget* dialog) { return Child<QTreeWidget>(dialog, "m_LISSourceTables"); }

    static void Choose(CRowmoverDlg& dialog, const CTempDatabase& source, const CTempDatabase& dest)
    {
        dialog.m_sSourceDb = Wide(source.Name());
        dialog.m_sDestDb = Wide(dest.Name());
    }

    // Makes the window the active one, so that focus moves can be seen.
    static void Activate(QWidget* dialog)
    {
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
    }

    static void MarkMessages() { CMessageBox::ShowError(nullptr, "(no box)", "(none)"); }

    static QStringList ResultLines(CDBCopyDlg* progress)
    {
        QStringList lines;
        auto* output = Child<QTreeWidget>(progress, "m_lstOutput");
        for (int row = 0; row < output->topLevelItemCount(); ++row)
            lines << output->topLevelItem(row)->text(0);
        return lines;
    }

    static QStringList RunCommandsEnabled(QWidget* dialog)
    {
        QStringList enabled;
        for (const char* name : {"m_BTNCopy", "m_BTNSourceDB", "m_BTNDestDB", "m_BTNRefresh"})
            if (Child<QPushButton>(dialog, name)->isEnabled())
                enabled << name;
        for (const char* name : {"ID_MEN_SOURCE", "ID_MEN_DESTINATION", "ID_MEN_COPY", "ID_MEN_EXIT", "ID_MEN_REFRESH",
                                 "ID_MEN_SQLEDITOR", "ID_MEN_OPTIONS", "ID_MEN_LANGUAGE"})
            if (Child<QAction>(dialog, name)->isEnabled())
                enabled << name;
        return enabled;
    }

  private slots:
    void init() { m_folders = std::make_unique<SMainWindowFolders>(); }

    void ReturnStartsNothingAndEveryCopyCommandAsksFirst()
    {
        CTempDatabase source(kShopDdl);
        source.Run(kShopRows);
        CTempDatabase dest(kShopDdl);
        dest.Run("INSERT INTO STOCK VALUES (99);");
        auto dialog = m_folders->Start(true);
        Activate(dialog.get());
        Choose(*dialog, source, dest);
        dialog->RefreshTableList();
        QSignalSpy finished(dialog.get(), &CRowmoverDlg::copyFinished);
        const QString question = QString::fromStdString("The rows of 3 table(s) in the destination database " +
                                                        dest.Name() + " will be replaced by the rows of the source.");
        const QString runFolders = QString::fromStdString(source.Folder().Path());

        // Return and Enter in the table list start nothing and ask nothing.
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
        {
            MarkMessages();
            List(dialog.get())->setFocus();
            QTest::keyClick(List(dialog.get()), key);
            QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
            QVERIFY(dialog->CopyDialog() == nullptr);
        }
        // Each command asks; Cancel leaves no run, no folder, no backup.
        const std::vector<std::function<void()>> commands{
            [&] { QTest::mouseClick(Child<QPushButton>(dialog.get(), "m_BTNCopy"), Qt::LeftButton); },
            [&] { Child<QAction>(dialog.get(), "ID_MEN_COPY")->trigger(); },
            [&] { QTest::keyClick(List(dialog.get()), Qt::Key_C, Qt::ControlModifier); }};
        for (const auto& command : commands)
        {
            MarkMessages();
            CMessageBox::SetNextAnswer(QMessageBox::Cancel);
            command();
            QCOMPARE(CMessageBox::LastText(), question);
            QCOMPARE(CMessageBox::LastCaption(), QString("Rowmover"));
            QVERIFY(dialog->CopyDialog() == nullptr);
            QCOMPARE(QDir(runFolders).entryList({"DB_copy_*"}, QDir::Dirs).size(), 0);
        }
        QCOMPARE(dest.Scalar("SELECT LIST(ID) FROM STOCK"), std::string("99"));
        QVERIFY(!Child<QLabel>(dialog.get(), "m_LBLLastRun")->isVisible());

        // Copy: the run goes, and the window keeps its result with a link to its log.
        CMessageBox::SetNextAnswer(QMessageBox::Ok);
        commands[2]();
        QVERIFY(dialog->CopyDialog() != nullptr);
        QVERIFY(finished.wait(kRunTimeoutMs));
        QCOMPARE(dest.Scalar("SELECT LIST(ID) FROM STOCK"), std::string("3"));
        auto* lastRun = Child<QLabel>(dialog.get(), "m_LBLLastRun");
        QVERIFY(lastRun->isVisible());
        QVERIFY2(QRegularExpression("^Last run: 3 table\\(s\\) copied, 0 failed, 4 rows, 00:00:[0-9][0-9] - "
                                    "<a href=\"results\">Results</a> - <a href=\"log\">Run log</a>$")
                     .match(lastRun->text())
                     .hasMatch(),
                 qPrintable(lastRun->text()));
        auto shown = std::make_shared<QString>();
        auto answered = OnNextModal("CDisplayTextDlg", [shown](QWidget* viewer) {
            *shown = viewer->windowTitle();
            static_cast<QDialog*>(viewer)->accept();
        });
        emit lastRun->linkActivated("log");
        QVERIFY(*answered);
        QCOMPARE(*shown, QFileInfo(QString::fromStdU16String(dialog->m_sLastLog)).fileName());

        // Asked no more when the setting says so.
        dialog->m_bAskBeforeCopy = false;
        MarkMessages();
        dialog->OnCopy();
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        QVERIFY(finished.wait(kRunTimeoutMs));
    }

    void MissingDatabasesAreReportedWithTheFocusOnTheirBox()
    {
        auto dialog = m_folders->Start();
        Activate(dialog.get());
        auto* copy = Child<QPushButton>(dialog.get(), "m_BTNCopy");
        QVERIFY(copy->isEnabled());

        QTest::mouseClick(copy, Qt::LeftButton);
        QCOMPARE(CMessageBox::LastText(), QString("No source database selected."));
        QCOMPARE(CMessageBox::LastCaption(), QString("ERROR"));
        QVERIFY(Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->hasFocus());

        dialog->m_sSourceDb = u"/data/old.fdb";
        Child<QAction>(dialog.get(), "ID_MEN_COPY")->trigger();
        QCOMPARE(CMessageBox::LastText(), QString("No destination database selected."));
        QVERIFY(Child<QLineEdit>(dialog.get(), "m_EDTDestDB")->hasFocus());

        // Identical names: the message, and the focus stays where it was.
        dialog->m_sDestDb = u"/data/old.fdb";
        List(dialog.get())->setFocus();
        Child<QAction>(dialog.get(), "ID_MEN_COPY")->trigger();
        QCOMPARE(CMessageBox::LastText(), QString("Source and destination database are identical!"));
        QVERIFY(List(dialog.get())->hasFocus());
        QVERIFY(dialog->CopyDialog() == nullptr);
    }

    void CtrlCStartsTheCopyCommandWhereverTheFocusIs()
    {
        auto dialog = m_folders->Start();
        Activate(dialog.get());
        QCOMPARE(Child<QAction>(dialog.get(), "ID_MEN_COPY")->shortcut(), QKeySequence("Ctrl+C"));
        for (QWidget* focus : {static_cast<QWidget*>(List(dialog.get())),
                               static_cast<QWidget*>(Child<QLineEdit>(dialog.get(), "m_EDTDestDB"))})
        {
            MarkMessages();
            focus->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(CMessageBox::LastText(), QString("No source database selected."));
        }
    }

    void NamesDifferingInLetterCaseAreTwoDatabases()
    {
        // The list is empty, so it is refreshed once: the attach message
        // says why, and nothing is said about tables that were never read.
        auto dialog = m_folders->Start();
        const QString folder = m_folders->root->path();
        dialog->m_sSourceDb = (folder + "/Shop.fdb").toStdU16String();
        dialog->m_sDestDb = (folder + "/shop.fdb").toStdU16String();
        CStderrCapture messages;
        dialog->OnCopy();
        const QString shown = messages.Text();
        QVERIFY2(shown.startsWith("ERROR: Cannot attach source database. (I/O error during \"open\" operation for "
                                  "file \"" +
                                  folder + "/Shop.fdb\""),
                 qPrintable(shown));
        QVERIFY2(!shown.contains("No tables"), qPrintable(shown));
        QVERIFY(dialog->CopyDialog() == nullptr);
    }

    void WithoutCommonTablesNothingStarts()
    {
        CTempDatabase source("CREATE TABLE OLD_ONLY (ID INTEGER);");
        CTempDatabase dest("CREATE TABLE NEW_ONLY (ID INTEGER);");
        auto dialog = m_folders->Start();
        Choose(*dialog, source, dest);
        CStderrCapture messages;
        dialog->OnCopy();
        QCOMPARE(messages.Text(),
                 QString("ERROR: No tables available, that exist in source and destination database!\n"));
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 0);
        QVERIFY(dialog->CopyDialog() == nullptr);
        // No run was prepared: no run folder beside the source.
        QCOMPARE(QDir(QString::fromStdString(source.Folder().Path())).entryList({"DB_copy_*"}, QDir::Dirs).size(), 0);
        QVERIFY(dialog->m_sLastLog.empty());
    }

    void AnEmptySelectionIsReportedWithTheFocusOnTheList()
    {
        CTempDatabase source(kShopDdl);
        CTempDatabase dest(kShopDdl);
        auto dialog = m_folders->Start();
        Activate(dialog.get());
        Choose(*dialog, source, dest);
        dialog->RefreshTableList();
        Child<QCheckBox>(dialog.get(), "m_CHKAllTables")->setChecked(false);
        Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->setFocus();
        Child<QAction>(dialog.get(), "ID_MEN_COPY")->trigger();
        QCOMPARE(CMessageBox::LastText(), QString("No table(s) selected for copy process!"));
        QVERIFY(List(dialog.get())->hasFocus());
        QVERIFY(dialog->CopyDialog() == nullptr);
    }

    void SilentChecksShowNothingButAttachFailures()
    {
        auto dialog = m_folders->Start();
        dialog->m_bSilent = true;
        MarkMessages();
        dialog->OnCopy();
        dialog->m_sSourceDb = u"/data/a.fdb";
        dialog->OnCopy();
        dialog->m_sDestDb = u"/data/a.fdb";
        dialog->OnCopy();
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));

        dialog->m_sDestDb = (m_folders->root->path() + "/missing.fdb").toStdU16String();
        CStderrCapture messages;
        dialog->OnCopy();
        const QString shown = messages.Text();
        QVERIFY2(shown.startsWith("ERROR: Cannot attach source database. (I/O error during \"open\" operation for "
                                  "file \"/data/a.fdb\""),
                 qPrintable(shown));
        QVERIFY2(!shown.contains("No tables"), qPrintable(shown));
    }

    void TheWindowRunsTheChosenTablesAndHoldsItsCommandsMeanwhile()
    {
        CTempDatabase source(kShopDdl);
        source.Run(kShopRows);
        CTempDatabase dest(kShopDdl);
        dest.Run("INSERT INTO STOCK VALUES (99); INSERT INTO ORDERS VALUES (42);");
        auto dialog = m_folders->Start();
        Choose(*dialog, source, dest);
        dialog->RefreshTableList();
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 3);
        Child<QCheckBox>(dialog.get(), "m_CHKAllTables")->setChecked(false);
        // Rows in list order, whatever order they were selected in.
        List(dialog.get())->topLevelItem(2)->setSelected(true);
        List(dialog.get())->topLevelItem(0)->setSelected(true);
        QSignalSpy finished(dialog.get(), &CRowmoverDlg::copyFinished);

        QTest::mouseClick(Child<QPushButton>(dialog.get(), "m_BTNCopy"), Qt::LeftButton);
        CDBCopyDlg* progress = dialog->CopyDialog();
        QVERIFY(progress != nullptr);
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->parentWidget(), dialog.get());
        QVERIFY(dialog->IsCopyRunning());
        QVERIFY(!dialog->m_sLastLog.empty());
        QVERIFY(QString::fromStdU16String(dialog->m_sLastLog).endsWith("_log.txt"));
        QVERIFY(QString::fromStdU16String(dialog->m_sLastSqlLog).endsWith("_sql.txt"));
        QVERIFY(QString::fromStdU16String(dialog->m_sLastTxtLog).endsWith("_txt.txt"));

        // While the copy runs nothing ends the window or reaches the engine.
        QCOMPARE(RunCommandsEnabled(dialog.get()), QStringList());
        QVERIFY(!dialog->acceptDrops());
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->close());
        dialog->OnExit();
        QVERIFY(dialog->isVisible());
        dialog->OnCopy();
        QCOMPARE(dialog->CopyDialog(), progress);
        const std::u16string chosenSource = dialog->m_sSourceDb;
        dialog->OnDropFiles({m_folders->root->path() + "/other.fdb"});
        QCOMPARE(dialog->m_sSourceDb, chosenSource);
        dialog->RefreshTableList();
        QCOMPARE(List(dialog.get())->topLevelItemCount(), 3);
        // Nothing opens a modal window over the progress window: STOP stays
        // within reach.
        QTimer watch;
        bool modalSeen = false;
        connect(&watch, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() != nullptr)
            {
                modalSeen = true;
                QApplication::activeModalWidget()->close();
            }
        });
        watch.start(5);
        dialog->OnSqlEditor();
        dialog->OnOptions();
        dialog->OnLanguage();
        List(dialog.get())->topLevelItem(0)->setSelected(true);
        dialog->OnTableDblClick();
        watch.stop();
        QVERIFY(!modalSeen);
        QVERIFY(progress->isEnabled());

        QVERIFY(finished.wait(kRunTimeoutMs));
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(finished.at(0).at(1).toInt(), 0);
        QVERIFY(!progress->isVisible());
        QCOMPARE(ResultLines(progress), (QStringList{"CUSTOMER copy successful.", "STOCK copy successful."}));
        QCOMPARE(dest.Scalar("SELECT COUNT(*) FROM CUSTOMER"), std::string("2"));
        QCOMPARE(dest.Scalar("SELECT LIST(ID) FROM STOCK"), std::string("3"));
        QCOMPARE(dest.Scalar("SELECT LIST(ID) FROM ORDERS"), std::string("42"));
        QCOMPARE(RunCommandsEnabled(dialog.get()).size(), 12);
        QVERIFY(dialog->acceptDrops());
        QVERIFY(!dialog->IsCopyRunning());

        // The run's log is what the View menu shows.
        const QString log = QString::fromStdU16String(dialog->m_sLastLog);
        QVERIFY(QFileInfo::exists(log));
        auto shown = std::make_shared<QPair<QString, QString>>();
        auto answered = OnNextModal("CDisplayTextDlg", [shown](QWidget* viewer) {
            shown->first = viewer->windowTitle();
            shown->second = Child<QPlainTextEdit>(viewer, "m_EDTText")->toPlainText();
            static_cast<QDialog*>(viewer)->accept();
        });
        Child<QAction>(dialog.get(), "ID_MEN_GENERALLOG")->trigger();
        QVERIFY(*answered);
        QCOMPARE(shown->first, QFileInfo(log).fileName());
        QVERIFY(shown->second.contains("CUSTOMER"));
        QVERIFY(!shown->second.contains("ORDERS"));

        // A second run gets a new progress window; the first one is gone.
        QPointer<CDBCopyDlg> first(progress);
        dialog->OnCopy();
        QVERIFY(dialog->CopyDialog() != nullptr);
        QVERIFY(first.isNull());
        QVERIFY(finished.wait(kRunTimeoutMs));
        QCOMPARE(finished.size(), 2);
    }

    void ARunWithLogsOffStillTakesTheNewLogNames()
    {
        CTempDatabase source(kShopDdl);
        source.Run(kShopRows);
        CTempDatabase dest(kShopDdl);
        auto dialog = m_folders->Start();
        Choose(*dialog, source, dest);
        dialog->m_bDoLogs = false;
        dialog->m_sLastLog = u"/data/old_log.txt";
        QSignalSpy finished(dialog.get(), &CRowmoverDlg::copyFinished);
        // The list is empty and filled by the command itself; all tables go.
        dialog->OnCopy();
        QVERIFY(dialog->CopyDialog() != nullptr);
        QVERIFY(finished.wait(kRunTimeoutMs));
        QCOMPARE(ResultLines(dialog->CopyDialog()).size(), 3);
        QCOMPARE(dest.Scalar("SELECT COUNT(*) FROM CUSTOMER"), std::string("2"));
        const QString log = QString::fromStdU16String(dialog->m_sLastLog);
        QVERIFY(log.endsWith("_log.txt"));
        QVERIFY(!QFileInfo::exists(log));
        QVERIFY(!QFileInfo::exists(QString::fromStdU16String(dialog->m_sLastSqlLog)));
        // Nothing to show, and nothing said about it.
        MarkMessages();
        QVERIFY(!WindowCameDuring("CDisplayTextDlg", [&] {
            Child<QAction>(dialog.get(), "ID_MEN_GENERALLOG")->trigger();
            Child<QAction>(dialog.get(), "ID_MEN_SQLLOG")->trigger();
            Child<QAction>(dialog.get(), "ID_MEN_TXTLOG")->trigger();
        }));
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
    }

    void AFailedTableEndsTheRunWithItsCount()
    {
        CTempDatabase source(kShopDdl);
        source.Run(kShopRows);
        // NAME cannot take the source's text: the table fails, the others go on.
        CTempDatabase dest("CREATE TABLE CUSTOMER (ID INTEGER, NAME INTEGER);"
                           "CREATE TABLE ORDERS (ID INTEGER); CREATE TABLE STOCK (ID INTEGER);");
        auto dialog = m_folders->Start();
        Choose(*dialog, source, dest);
        QSignalSpy finished(dialog.get(), &CRowmoverDlg::copyFinished);
        CStderrCapture messages;
        dialog->OnCopy();
        QVERIFY(finished.wait(kRunTimeoutMs));
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QCOMPARE(finished.at(0).at(1).toInt(), 1);
        QVERIFY(messages.Text().contains("ERROR: Copy process failed\n\nFailed tables: CUSTOMER"));
        // Where the way back is kept is news, not another error.
        QVERIFY2(messages.Text().contains("Rowmover: The destination database as it was before the copy is kept in "),
                 qPrintable(messages.Text()));
        QVERIFY(!messages.Text().contains("ERROR: The destination database as it was"));
        QCOMPARE(CMessageBox::LastIcon(), QMessageBox::Information);
        QCOMPARE(ResultLines(dialog->CopyDialog()),
                 (QStringList{"CUSTOMER copy failed.", "ORDERS copy successful.", "STOCK copy successful."}));
        QCOMPARE(RunCommandsEnabled(dialog.get()).size(), 12);
        // The command line's --retry-failed finds the failed table of a window's run.
        QFile record(QString::fromStdU16String(dialog->m_sAppDir) + "FailedTables.txt");
        QVERIFY(record.open(QIODevice::ReadOnly));
        QVERIFY(record.readAll().endsWith("\tCUSTOMER\n"));
    }

    void TooLittleRoomForTheCopiesIsSaidAndNothingStarts()
    {
        CTempDatabase source(kShopDdl);
        source.Run(kShopRows);
        CTempDatabase dest(kShopDdl);
        // The folder for the copies on a disk too small for one database.
        CTempFolder small;
        if (::mount("tmpfs", small.Path().c_str(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("a small tmpfs file system cannot be mounted here (needs root and mount rights)");
        struct SUnmount
        {
            std::string path;
            ~SUnmount() { ::umount2(path.c_str(), MNT_DETACH); }
        } unmount{small.Path()};
        auto dialog = m_folders->Start();
        Choose(*dialog, source, dest);
        dialog->m_sBackupDir = Wide(small.File("copies"));
        MarkMessages();
        dialog->OnCopy();
        QVERIFY(dialog->CopyDialog() == nullptr);
        QVERIFY2(CMessageBox::LastText().startsWith("Too little free space in " + QString::fromStdString(small.Path())),
                 qPrintable(CMessageBox::LastText()));
        QVERIFY(CMessageBox::LastText().contains(" needed, "));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(small.File("copies"))));
        QCOMPARE(dest.Scalar("SELECT COUNT(*) FROM CUSTOMER"), std::string("0"));
    }

    void TheResultsOfTheLastRunStayForItsDestination()
    {
        CTempDatabase source(kShopDdl);
        source.Run(kShopRows);
        CTempDatabase dest("CREATE TABLE CUSTOMER (ID INTEGER, NAME INTEGER);"
                           "CREATE TABLE ORDERS (ID INTEGER); CREATE TABLE STOCK (ID INTEGER);");
        auto dialog = m_folders->Start();
        Choose(*dialog, source, dest);
        QSignalSpy finished(dialog.get(), &CRowmoverDlg::copyFinished);
        CStderrCapture messages;
        dialog->OnCopy();
        QVERIFY(finished.wait(kRunTimeoutMs));
        auto* lastRun = Child<QLabel>(dialog.get(), "m_LBLLastRun");
        QVERIFY(lastRun->isVisible());
        QVERIFY2(lastRun->text().startsWith("Last run: 2 table(s) copied, 1 failed, 2 rows, "),
                 qPrintable(lastRun->text()));
        QVERIFY(lastRun->text().contains("<a href=\"results\">Results</a>"));

        // The line opens the run's results: each table with what it did and why.
        struct SShown
        {
            QList<QStringList> rows;
            QString summary;
            QString links;
        };
        auto shown = std::make_shared<SShown>();
        auto answered = OnNextModal("CRunResultsDlg", [shown](QWidget* results) {
            auto* list = Child<QTreeWidget>(results, "m_LISResults");
            for (int row = 0; row < list->topLevelItemCount(); ++row)
            {
                QStringList cells;
                for (int column = 0; column < list->columnCount(); ++column)
                    cells << list->topLevelItem(row)->text(column);
                shown->rows << cells;
            }
            shown->summary = Child<QLabel>(results, "m_LBLSummary")->text();
            shown->links = Child<QLabel>(results, "m_LBLLogs")->text();
            QTest::mouseClick(Child<QPushButton>(results, "m_BTNClose"), Qt::LeftButton);
        });
        QMetaObject::invokeMethod(lastRun, "linkActivated", Q_ARG(QString, "results"));
        QVERIFY(*answered);
        QCOMPARE(shown->rows.size(), 3);
        QCOMPARE(shown->rows[0].mid(0, 3), (QStringList{"CUSTOMER", "failed", "0"}));
        QVERIFY2(shown->rows[0][4].startsWith("2 rows failed"), qPrintable(shown->rows[0][4]));
        QCOMPARE(shown->rows[1].mid(0, 3), (QStringList{"ORDERS", "copied", "1"}));
        QCOMPARE(shown->rows[1][4], QString());
        QCOMPARE(shown->rows[2].mid(0, 3), (QStringList{"STOCK", "copied", "1"}));
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(shown->rows[2][3]).hasMatch());
        QVERIFY2(shown->summary.contains("Destination: " + QString::fromStdString(dest.Name())),
                 qPrintable(shown->summary));
        QVERIFY(shown->summary.contains("The destination database as it was before the copy is kept in "));
        QVERIFY(shown->links.contains(">Run log<") && shown->links.contains(">SQL log<") &&
                shown->links.contains(">Data text log<"));

        // Tab reaches the line's links where they are read: after the list, before Check and Copy; each
        // stop shows that it has the focus.
        Activate(dialog.get());
        Child<QLineEdit>(dialog.get(), "m_EDTSourceDB")->setFocus();
        QStringList order{QApplication::focusWidget()->objectName()};
        QList<QImage> focused{QApplication::focusWidget()->grab().toImage()};
        for (int step = 0; step < 10; ++step)
        {
            QWidget* left = QApplication::focusWidget();
            QTest::keyClick(left, Qt::Key_Tab);
            QCoreApplication::processEvents();
            // The stop just left looks other than it did with the focus (a label's
            // link keeps the focus for its next link).
            if (QApplication::focusWidget() != left)
                QVERIFY2(left->grab().toImage() != focused.back(), qPrintable(left->objectName()));
            order << QApplication::focusWidget()->objectName();
            focused << QApplication::focusWidget()->grab().toImage();
        }
        QCOMPARE(order, (QStringList{"m_EDTSourceDB", "m_BTNSourceDB", "m_EDTDestDB", "m_BTNDestDB", "m_CHKAllTables",
                                     "m_BTNRefresh", "m_LISSourceTables", "m_LBLLastRun", "m_LBLLastRun", "m_BTNCheck",
                                     "m_BTNCopy"}));

        // Another destination has no last run here; the line comes back with its own.
        dialog->m_bExtendDBName = false;
        const QString other = m_folders->root->path() + "/other.fdb";
        dialog->OnDropFiles({other});
        QCOMPARE(QString::fromStdU16String(dialog->m_sDestDb), other);
        QVERIFY(!lastRun->isVisible());
        dialog->OnDropFiles({QString::fromStdString(dest.Name())});
        QVERIFY(lastRun->isVisible());
        QVERIFY(lastRun->text().startsWith("Last run: 2 table(s) copied, 1 failed"));
    }

    void AfterARunTheListShowsTheNewGeneratorValuesAndRefreshKeepsTheChoice()
    {
        const std::string ddl = "CREATE TABLE A (ID INTEGER); CREATE TABLE B (ID INTEGER); CREATE TABLE C (ID INTEGER);"
                                "CREATE GENERATOR GEN_A; SET TERM ^ ; CREATE TRIGGER A_BI FOR A BEFORE INSERT AS "
                                "BEGIN NEW.ID = GEN_ID(GEN_A, 1); END^ SET TERM ; ^";
        CTempDatabase source(ddl + "SET GENERATOR GEN_A TO 39; INSERT INTO A VALUES (NULL); INSERT INTO B VALUES (1);");
        CTempDatabase dest(ddl + "SET GENERATOR GEN_A TO 17;");
        auto dialog = m_folders->Start();
        Choose(*dialog, source, dest);
        dialog->RefreshTableList();
        auto* list = List(dialog.get());
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(1), QString(" A_BI (GEN_A=17)"));
        Child<QCheckBox>(dialog.get(), "m_CHKAllTables")->setChecked(false);
        list->topLevelItem(0)->setSelected(true);
        list->topLevelItem(2)->setSelected(true);
        list->setCurrentItem(list->topLevelItem(2), 0, QItemSelectionModel::NoUpdate);

        // F5 reads the list again and keeps what was chosen.
        Activate(dialog.get());
        QTest::keyClick(dialog.get(), Qt::Key_F5);
        QCOMPARE(list->topLevelItemCount(), 3);
        QVERIFY(list->topLevelItem(0)->isSelected());
        QVERIFY(!list->topLevelItem(1)->isSelected());
        QVERIFY(list->topLevelItem(2)->isSelected());
        QCOMPARE(list->currentItem()->text(0), QString("C"));

        // The run sets GEN_A to the source's value; the list says so at once.
        QSignalSpy finished(dialog.get(), &CRowmoverDlg::copyFinished);
        dialog->OnCopy();
        QVERIFY(finished.wait(kRunTimeoutMs));
        QCOMPARE(dest.Scalar("SELECT GEN_ID(GEN_A, 0) FROM RDB$DATABASE"), std::string("40"));
        QCOMPARE(list->topLevelItem(0)->text(1), QString(" A_BI (GEN_A=40)"));
        QVERIFY(list->topLevelItem(0)->isSelected());
        QVERIFY(list->topLevelItem(2)->isSelected());
        QVERIFY(!list->topLevelItem(1)->isSelected());
    }

    void TheCopyOfItsDestinationThatAKilledRunLeftIsKeptAndNamed()
    {
        CTempDatabase source(kShopDdl);
        source.Run(kShopRows);
        CTempDatabase dest(kShopDdl);
        // Left by a run whose process is gone: no process has a number that large.
        const QString left = m_folders->sProgram + "temp_db_backup_20200101000000_2147483000_77.fdb";
        WriteFile(left, "rows");
        auto dialog = m_folders->Start();
        Choose(*dialog, source, dest);
        QSignalSpy finished(dialog.get(), &CRowmoverDlg::copyFinished);
        CStderrCapture messages;
        dialog->OnCopy();
        QVERIFY(finished.wait(kRunTimeoutMs));
        QVERIFY2(messages.Text().contains("A copy that was ended before it finished left the destination database as "
                                          "it was before that copy in " +
                                          left + "; it is kept there."),
                 qPrintable(messages.Text()));
        QVERIFY(QFileInfo::exists(left));
    }
};

MAIN_WINDOW_TEST_MAIN(CRowmoverDlgCopyTest)

#include "CRowmoverDlgCopyTest.moc"
