// The SQL editor's work off the window's thread: the busy state and Cancel,
// pages of rows, NULL, the export of a whole query, and waits for attaching.
#include "sqleditor/CDBSQLDlg.h"

#include "sqleditor/CResultModel.h"
#include "support/CTempDatabase.h"
#include "ui/CFontSettings.h"
#include "ui/CMessageBox.h"
#include "ui/FileDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <arpa/inet.h>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// Runs for many minutes unless it is stopped.
const char* const Endless = "SELECT COUNT(*) FROM RDB$FIELDS A, RDB$FIELDS B, RDB$FIELDS C, RDB$FIELDS D, RDB$FIELDS E";

const char* const Numbers = R"(
CREATE TABLE NUMBERS (N INTEGER NOT NULL PRIMARY KEY, LABEL VARCHAR(20), NOTE VARCHAR(10));
SET TERM ^ ;
EXECUTE BLOCK AS
DECLARE I INTEGER = 1;
BEGIN
  WHILE (I <= 2500) DO
  BEGIN
    INSERT INTO NUMBERS VALUES (:I, 'n' || :I, CASE WHEN :I = 2 THEN NULL WHEN :I = 3 THEN '' ELSE 'x;y' END);
    I = I + 1;
  END
END^
CREATE PROCEDURE TWICE (X INTEGER) RETURNS (Y INTEGER) AS
BEGIN
  Y = X * 2;
END^
SET TERM ; ^
)";

// A TCP port that takes connections and never answers, like a server that
// hangs or a host behind a firewall that swallows the traffic.
class CSilentPort
{
  public:
    CSilentPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_nPort = ntohs(address.sin_port);
    }
    ~CSilentPort() { ::close(m_fd); }
    int Port() const { return m_nPort; }

  private:
    int m_fd = -1;
    int m_nPort = 0;
};
} // namespace

class CDBSQLDlgRunTest : public QObject
{
    Q_OBJECT

  public:
    std::unique_ptr<CDBSQLDlg> Open(const std::string& database, const std::string& table = {})
    {
        auto editor =
            std::make_unique<CDBSQLDlg>(u"", *m_pFont, QString::fromStdString(database).toStdU16String(), u"SYSDBA",
                                        u"velvetoak", QString::fromStdString(table).toStdU16String(), u"SYSDBA",
                                        u"velvetoak", 1, true, m_recent, true, m_rect, false);
        WaitIdle(editor.get());
        return editor;
    }

    static bool WaitIdle(CDBSQLDlg* editor, int milliseconds = 20000)
    {
        return QTest::qWaitFor([editor] { return !editor->IsBusy(); }, milliseconds);
    }

    template <typename T> static T* Child(QWidget* editor, const char* name)
    {
        T* child = editor->findChild<T*>(name);
        if (child == nullptr)
            qFatal("no child %s", name);
        return child;
    }

    static void Run(CDBSQLDlg* editor, const QString& text, bool multiline = false)
    {
        Child<QCheckBox>(editor, "m_CHKMultiline")->setChecked(multiline);
        Child<QPlainTextEdit>(editor, "m_EDTStatement")->setPlainText(text);
        QTest::mouseClick(Child<QPushButton>(editor, "m_BTNExecute"), Qt::LeftButton);
    }

    static QString Status(CDBSQLDlg* editor) { return Child<QLabel>(editor, "m_LBLStatus")->text(); }
    // The seconds the busy status shows, or -1 when it shows none.
    static double ShownSeconds(CDBSQLDlg* editor)
    {
        static const QRegularExpression elapsed("^Executing\\.\\.\\. ([0-9]+\\.[0-9])");
        const QRegularExpressionMatch match = elapsed.match(Status(editor));
        return match.hasMatch() ? match.captured(1).toDouble() : -1;
    }
    static QString Cell(CDBSQLDlg* editor, int row, int column)
    {
        QAbstractItemModel* model = editor->ResultModel();
        return model->data(model->index(row, column)).toString();
    }

    // Starts the endless query, checks that the window lives while it runs,
    // then cancels it by the given means and checks that the editor answers
    // within a second and that its transaction goes on.
    void CancelEndlessQuery(const std::string& database, bool byEscape)
    {
        auto editor = Open(database);
        QVERIFY(editor->IsAttached());
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        Run(editor.get(), "INSERT INTO NUMBERS VALUES (9999, 'kept', NULL)");
        QVERIFY(WaitIdle(editor.get()));
        Run(editor.get(), Endless);
        QVERIFY(editor->IsBusy());
        QVERIFY(Child<QPushButton>(editor.get(), "m_BTNCancel")->isEnabled());
        QVERIFY(!Child<QPushButton>(editor.get(), "m_BTNExecute")->isEnabled());
        // The elapsed time goes on: the window's thread is free. On a busy
        // machine a tenth may pass between two looks, so the time is read.
        QTRY_VERIFY_WITH_TIMEOUT(ShownSeconds(editor.get()) >= 0.5, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(ShownSeconds(editor.get()) >= 1.0, 5000);
        QElapsedTimer answer;
        answer.start();
        if (byEscape)
            QTest::keyClick(editor.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(Child<QPushButton>(editor.get(), "m_BTNCancel"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!editor->IsBusy(), 1000);
        QVERIFY2(answer.elapsed() < 1000, qPrintable(QString::number(answer.elapsed())));
        QVERIFY(editor->isVisible());
        QCOMPARE(Status(editor.get()), QString("Statement cancelled."));
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        // The same transaction: the row inserted before is still there.
        Run(editor.get(), "SELECT LABEL FROM NUMBERS WHERE N = 9999");
        QVERIFY(WaitIdle(editor.get()));
        QCOMPARE(Cell(editor.get(), 0, 0), QString("kept"));
    }

  private slots:
    void init()
    {
        m_owner = std::make_unique<QWidget>();
        m_pFont = std::make_unique<CFontSettings>(m_owner.get());
        m_rect = SWindowRect{};
        m_db = std::make_unique<CTempDatabase>(Numbers);
        CDBSQLDlg::SetSelectDatabase({});
        CMessageBox::ShowError(nullptr, "(no box)", "(none)");
    }

    void cleanup()
    {
        CDBSQLDlg::SetSelectDatabase({});
        m_db.reset();
    }

    void ALongQueryIsCancelledAndTheWindowAnswersWithinASecond() { CancelEndlessQuery(m_db->Name(), false); }

    void EscapeCancelsALongQueryInsteadOfClosing() { CancelEndlessQuery(m_db->Name(), true); }

    void ALongQueryThroughTheServerIsCancelled()
    {
        if (!TestServer().available)
        {
            if (TestServer().required)
                QFAIL("the test Firebird server is not reachable");
            QSKIP("no test Firebird server");
        }
        CTempDatabase::SOptions options;
        options.viaServer = true;
        CTempDatabase served(Numbers, options);
        CancelEndlessQuery(served.Name(), false);
    }

    void TheFirstPageComesAtOnceAndScrollingToTheEndFetchesTheNext()
    {
        auto editor = Open(m_db->Name(), "NUMBERS");
        editor->resize(700, 500);
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        CResultModel* model = editor->ResultModel();
        QCOMPARE(model->rowCount(), CDBSQLDlg::kPageRows);
        QVERIFY(model->HasMoreRows());
        QCOMPARE(Status(editor.get()), QString("1,000 rows shown; more follow when you scroll to the end or press "
                                               "Fetch all"));
        auto* grid = Child<QTreeView>(editor.get(), "m_LISResult");
        grid->scrollToBottom();
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 2 * CDBSQLDlg::kPageRows, 10000);
        QVERIFY(WaitIdle(editor.get()));
        QCOMPARE(Cell(editor.get(), 1999, 0), QString("2000"));
        auto* fetchAll = Child<QPushButton>(editor.get(), "m_BTNFetchAll");
        QVERIFY(fetchAll->isEnabled());
        QTest::mouseClick(fetchAll, Qt::LeftButton);
        QVERIFY(WaitIdle(editor.get()));
        QCOMPARE(model->rowCount(), 2500);
        QVERIFY(!model->HasMoreRows());
        QVERIFY(!fetchAll->isEnabled());
        QCOMPARE(Status(editor.get()), QString("2,500 rows"));
        // Nothing more to fetch: the end of the grid asks for nothing.
        grid->scrollToBottom();
        QVERIFY(!editor->IsBusy());
    }

    void AtItsFirstSizeTheEditorShowsItsTextsAndItsColumnsTakeTheRoomThereIs()
    {
        auto editor = Open(m_db->Name(), "NUMBERS");
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        auto* status = Child<QLabel>(editor.get(), "m_LBLStatus");
        QVERIFY(Status(editor.get()).startsWith("1,000 rows shown; more follow"));
        QVERIFY2(status->width() >= status->fontMetrics().horizontalAdvance(status->text()),
                 qPrintable(QString::number(status->width())));

        const QString value = "a value wider than its header";
        Run(editor.get(), "SELECT N, '" + value + "' AS T FROM NUMBERS");
        QVERIFY(WaitIdle(editor.get()));
        auto* grid = Child<QTreeView>(editor.get(), "m_LISResult");
        QVERIFY2(grid->columnWidth(1) >= grid->fontMetrics().horizontalAdvance(value),
                 qPrintable(QString::number(grid->columnWidth(1))));
        QVERIFY(grid->columnWidth(1) <= grid->viewport()->width() / 2 + 1);

        // Fetching says how many rows have come so far.
        QTest::mouseClick(Child<QPushButton>(editor.get(), "m_BTNFetchAll"), Qt::LeftButton);
        const QString fetching = Status(editor.get());
        QVERIFY(WaitIdle(editor.get()));
        QVERIFY2(fetching.startsWith("Fetching rows... 1,000 rows fetched, "), qPrintable(fetching));
        QCOMPARE(Status(editor.get()), QString("2,500 rows"));
    }

    void NullAndTheEmptyTextLookDifferentButKeepTheirValues()
    {
        auto editor = Open(m_db->Name());
        Run(editor.get(), "SELECT N, NOTE FROM NUMBERS WHERE N IN (2, 3) ORDER BY N");
        QVERIFY(WaitIdle(editor.get()));
        CResultModel* model = editor->ResultModel();
        QCOMPARE(Cell(editor.get(), 0, 1), QString("<null>"));
        QCOMPARE(Cell(editor.get(), 1, 1), QString(""));
        QVERIFY(model->data(model->index(0, 1), Qt::ForegroundRole).isValid());
        QVERIFY(!model->data(model->index(1, 1), Qt::ForegroundRole).isValid());
        QVERIFY(model->IsNull(0, 1));
        QCOMPARE(model->Cell(0, 1), std::string());
        QVERIFY(!model->IsNull(1, 1));
        // The record statements write NULL for NULL and '' for the empty text.
        Child<QTreeView>(editor.get(), "m_LISResult")->selectAll();
        editor->OnDeleteRecord();
        QVERIFY(WaitIdle(editor.get()));
        editor->findChild<QAction*>("ID_MENSQL_MODIFY")->trigger();
        QVERIFY(WaitIdle(editor.get()));
        QVERIFY(Child<QPlainTextEdit>(editor.get(), "m_EDTStatement")->toPlainText().contains("NOTE=NULL"));
    }

    void StatementsWithoutCursorShowTheirRow()
    {
        auto editor = Open(m_db->Name());
        for (const char* statement :
             {"EXECUTE PROCEDURE TWICE(21)", "INSERT INTO NUMBERS (N, LABEL) VALUES (5000, 'new') RETURNING N * 2"})
        {
            Run(editor.get(), statement);
            QVERIFY(WaitIdle(editor.get()));
            QCOMPARE(editor->ResultModel()->rowCount(), 1);
            QCOMPARE(Cell(editor.get(), 0, 0), statement[0] == 'E' ? QString("42") : QString("10000"));
            QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        }
    }

    void TheExportOfAQueryWritesEveryRowNotOnlyThoseShown()
    {
        auto editor = Open(m_db->Name(), "NUMBERS");
        QCOMPARE(editor->ResultModel()->rowCount(), CDBSQLDlg::kPageRows);
        CTempFolder folder;
        const QString path = QString::fromStdString(folder.File("all.csv"));
        SetNextFileDialogAnswer(path);
        editor->OnExportResults();
        QVERIFY(WaitIdle(editor.get()));
        QCOMPARE(Status(editor.get()), QString("All 2,500 rows of the result were exported."));
        std::ifstream file(path.toStdString(), std::ios::binary);
        std::string line;
        std::vector<std::string> lines;
        while (std::getline(file, line))
            lines.push_back(line);
        QCOMPARE(lines.size(), size_t{2501});
        QCOMPARE(lines[0], std::string("N;LABEL;NOTE  \r"));
        QCOMPARE(lines[1], std::string("1;n1;\"x;y\"  \r"));
        QCOMPARE(lines[2], std::string("2;n2;  \r"));
        // The grid still pages on.
        QCOMPARE(editor->ResultModel()->rowCount(), CDBSQLDlg::kPageRows);
        QVERIFY(editor->ResultModel()->HasMoreRows());
    }

    void ExecuteWithoutADatabaseSaysSoAndOffersToSelectOne()
    {
        auto editor = Open(m_db->Name());
        int asked = 0;
        CDBSQLDlg::SetSelectDatabase([&](QWidget*, SSelectDatabaseArgs&) {
            ++asked;
            return false;
        });
        // Selecting a database that cannot be attached leaves none.
        CDBSQLDlg::SetSelectDatabase([&](QWidget*, SSelectDatabaseArgs& args) {
            ++asked;
            args.database = u"/nonexistent/none.fdb";
            return true;
        });
        editor->OnSelectDatabase();
        QVERIFY(!editor->IsAttached());
        QCOMPARE(CMessageBox::LastText(), QString("Failed to attach database!"));
        CMessageBox::SetNextAnswer(QMessageBox::No);
        Run(editor.get(), "SELECT 1 FROM RDB$DATABASE");
        QCOMPARE(CMessageBox::LastText(), QString("No database is attached. Select one now?"));
        QCOMPARE(asked, 1);
        CMessageBox::SetNextAnswer(QMessageBox::Yes);
        Run(editor.get(), "SELECT 1 FROM RDB$DATABASE");
        QCOMPARE(asked, 2);
    }

    void AttachingAnUnansweringServerIsCancelledFromTheWaitWindow()
    {
        CSilentPort silent;
        const std::string database = "127.0.0.1/" + std::to_string(silent.Port()) + ":/nowhere/x.fdb";
        bool waitShown = false;
        QElapsedTimer clock;
        clock.start();
        qint64 shownAfter = -1;
        // The wait window appears after half a second; then it is cancelled.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
            {
                if (widget->objectName() == "CWaitDlg" && widget->isVisible() && !waitShown)
                {
                    waitShown = true;
                    shownAfter = clock.elapsed();
                    QTest::mouseClick(widget->findChild<QPushButton*>("m_BTNCancel"), Qt::LeftButton);
                }
            }
        });
        poll.start(20);
        auto editor = Open(database);
        poll.stop();
        QVERIFY(waitShown);
        QVERIFY2(shownAfter >= 400 && shownAfter < 3000, qPrintable(QString::number(shownAfter)));
        QVERIFY(clock.elapsed() < 5000);
        // Cancelled: no failure to report, and the editor ends at once.
        QVERIFY(!editor->IsAttached());
        QVERIFY(editor->EndsAtStart());
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
    }

  private:
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<CFontSettings> m_pFont;
    std::unique_ptr<CTempDatabase> m_db;
    CStringGrid m_recent;
    SWindowRect m_rect;
};

QTEST_MAIN(CDBSQLDlgRunTest)
#include "CDBSQLDlgRunTest.moc"
