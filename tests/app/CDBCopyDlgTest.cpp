// The progress window driving real copy runs between temporary databases.
#include "app/CDBCopyDlg.h"

#include "copy/run/CCopyEngine.h"
#include "copy/run/CRunSession.h"
#include "core/FileHelpers.h"
#include "db/CFbConnection.h"
#include "support/CTempDatabase.h"
#include "ui/Artwork.h"
#include "ui/CFontSettings.h"
#include "ui/CMessageBox.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <ibase.h>

#include <algorithm>
#include <memory>
#include <thread>

#ifndef ROWMOVER_RESOURCE_DIR
#define ROWMOVER_RESOURCE_DIR ""
#endif

namespace
{
const QString kNoBox = QStringLiteral("(no box)");

// Makes LastText tell whether a box came after this point.
void ForgetLastBox()
{
    CMessageBox::SetNextAnswer(QMessageBox::Ok);
    CMessageBox::ShowError(nullptr, kNoBox, kNoBox);
}

std::string TablesDdl(const std::vector<std::string>& names)
{
    std::string ddl;
    for (const std::string& name : names)
        ddl += "CREATE TABLE " + name + " (ID INTEGER, NAME VARCHAR(20));";
    return ddl;
}

std::string RowsDml(const std::vector<std::string>& names, const std::string& value)
{
    std::string dml;
    for (const std::string& name : names)
        dml += "INSERT INTO " + name + " VALUES (1, '" + value + "');";
    return dml;
}

// A source and a destination database, an engine prepared for a run between
// them and the table list of the run.
struct SCopySetup
{
    SCopySetup(const std::string& sourceDdl, const std::string& destDdl, const std::vector<std::string>& names)
        : source(sourceDdl), dest(destDdl)
    {
        engine.Init(TestUser, TestPassword, 1);
        prepared = engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", false, program.Path(), false);
        tables.SetSize(1, 0);
        for (const std::string& name : names)
        {
            tables.SetCell(0, tables.RowCount(), name);
            tables.AddRows(1);
        }
    }

    CCopyJob Job(bool unattended = false) { return CCopyJob{&tables, &engine, ELogging::On, unattended, {}}; }

    CTempDatabase source;
    CTempDatabase dest;
    CTempFolder program;
    CCopyEngine engine;
    CStringGrid tables;
    int prepared = -1;
};

// Holds a row of a destination table in an open transaction, so that a copy
// of that table waits in its delete until Release() rolls the change back.
class CRowLock
{
  public:
    CRowLock(const std::string& database, const std::string& table) : m_connection(1)
    {
        int failure = 0;
        m_bHeld = m_connection.Connect(TestUser, TestPassword, database);
        if (m_bHeld)
            m_connection.Execute("UPDATE " + table + " SET NAME = 'locked'", failure);
        m_bHeld = m_bHeld && failure == 0;
    }
    ~CRowLock() { Release(); }
    CRowLock(const CRowLock&) = delete;
    CRowLock& operator=(const CRowLock&) = delete;

    bool Held() const { return m_bHeld; }
    void Release()
    {
        m_connection.Rollback();
        m_connection.Disconnect();
        m_bHeld = false;
    }

  private:
    CFbConnection m_connection;
    bool m_bHeld = false;
};

QStringList ResultLines(QTreeWidget* list)
{
    QStringList lines;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        lines.append(list->topLevelItem(i)->text(0));
    return lines;
}

// True when the item shows the list image.
bool ShowsImage(QTreeWidgetItem* item, EListImage image, QSize size)
{
    return item->icon(0).pixmap(size).toImage() == ListImage(image, size.width()).toImage();
}
} // namespace

class CDBCopyDlgTest : public QObject
{
    Q_OBJECT

  private:
    QWidget m_owner;
    std::unique_ptr<CFontSettings> m_pFont;

    // A window set up for the job as the copy command does it.
    std::unique_ptr<CDBCopyDlg> MakeDialog(const CCopyJob& job, const QString& languageFile = {})
    {
        auto dialog = std::make_unique<CDBCopyDlg>();
        dialog->Create(&m_owner, *m_pFont);
        dialog->show();
        dialog->SetLanguageFile(languageFile);
        dialog->Setup(job);
        return dialog;
    }

  private slots:
    void initTestCase() { m_pFont = std::make_unique<CFontSettings>(&m_owner); }

    void SecondOfFourFailsWithLinesImagesPercentagesAndSummary()
    {
        // B's destination has a NOT NULL date that nothing fills.
        SCopySetup copy(TablesDdl({"A", "B", "C", "D"}) + RowsDml({"A", "B", "C", "D"}, "new"),
                        TablesDdl({"A", "C", "D"}) + "CREATE TABLE B (NAME VARCHAR(20), SINCE DATE NOT NULL);",
                        {"A", "B", "C", "D"});
        QCOMPARE(copy.prepared, 0);
        auto dialog = MakeDialog(copy.Job());
        auto* state = dialog->findChild<QLabel*>("m_lblState");
        auto* progress = dialog->findChild<QProgressBar*>("m_progress");
        auto* list = dialog->findChild<QTreeWidget*>("m_lstOutput");
        QVERIFY(state && progress && list);
        QStringList states;
        QList<int> positions;
        connect(dialog.get(), &CDBCopyDlg::tableStarted, this, [&] {
            states.append(state->text());
            positions.append(progress->value());
        });
        QSignalSpy finished(dialog.get(), &CDBCopyDlg::finished);
        ForgetLastBox();

        QVERIFY(dialog->Start());
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 1000);
        QVERIFY(dialog->WaitForEnd(60000));

        QCOMPARE(states, QStringList({"Current table: A (0%)", "Current table: B (25%)", "Current table: C (50%)",
                                      "Current table: D (75%)"}));
        // Tables of one row each weigh the same: each is a quarter of the run.
        QCOMPARE(positions, QList<int>({0, 250, 500, 750}));
        QCOMPARE(ResultLines(list),
                 QStringList({"A copy successful.", "B copy failed.", "C copy successful.", "D copy successful."}));
        const QSize imageSize = list->iconSize();
        QVERIFY(ShowsImage(list->topLevelItem(0), EListImage::Success, imageSize));
        QVERIFY(ShowsImage(list->topLevelItem(1), EListImage::Failure, imageSize));
        QVERIFY(!ShowsImage(list->topLevelItem(1), EListImage::Success, imageSize));
        QVERIFY(ShowsImage(list->topLevelItem(2), EListImage::Success, imageSize));
        QVERIFY(ShowsImage(list->topLevelItem(3), EListImage::Success, imageSize));
        // The box names the table that failed; the state line ends on the run.
        QCOMPARE(CMessageBox::LastText(), QString("Copy process failed\n\nFailed tables: B"));
        QCOMPARE(CMessageBox::LastCaption(), QString("ERROR"));
        QCOMPARE(state->text(), QString("Finished: 3 table(s) copied, 1 failed, 3 rows."));
        QVERIFY(dialog->isHidden());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toBool(), false);
        QCOMPARE(finished[0][1].toInt(), 1);
        QCOMPARE(copy.source.Scalar("SELECT COUNT(*) FROM A"), copy.dest.Scalar("SELECT COUNT(*) FROM A"));
        QVERIFY(!copy.engine.IsRunActive());
    }

    void GermanTextsAndFailedCountInTheSummary()
    {
        SCopySetup copy(TablesDdl({"A", "B"}) + RowsDml({"A", "B"}, "neu"),
                        TablesDdl({"A"}) + "CREATE TABLE B (NAME VARCHAR(20), SINCE DATE NOT NULL);", {"A", "B"});
        QCOMPARE(copy.prepared, 0);
        auto dialog = MakeDialog(copy.Job(), QStringLiteral(ROWMOVER_RESOURCE_DIR "German.lng"));
        QCOMPARE(dialog->windowTitle(), QString("Datenbank-Kopiervorgang"));
        QCOMPARE(dialog->findChild<QPushButton*>("m_btnStop")->text(), QString("STOPP"));
        auto* list = dialog->findChild<QTreeWidget*>("m_lstOutput");
        QCOMPARE(list->headerItem()->text(0), QString("Tabellenname"));
        QStringList states;
        connect(dialog.get(), &CDBCopyDlg::tableStarted, this,
                [&] { states.append(dialog->findChild<QLabel*>("m_lblState")->text()); });
        ForgetLastBox();

        QVERIFY(dialog->Start());
        QVERIFY(dialog->WaitForEnd(60000));

        QCOMPARE(states, QStringList({"Aktuelle Tabelle: A (0%)", "Aktuelle Tabelle: B (50%)"}));
        QCOMPARE(ResultLines(list), QStringList({"Kopieren von A erfolgreich.", "Kopieren von B fehlgeschlagen."}));
        QCOMPARE(CMessageBox::LastText(),
                 QString("Kopiervorgang fehlgeschlagen: 1 Tabelle(n) mit Fehlern\n\nFehlgeschlagene Tabellen: B"));
        QCOMPARE(CMessageBox::LastCaption(), QString("FEHLER"));
    }

    void StopDuringTheSecondOfFiveCompletesItAndLeavesTheRest()
    {
        const std::vector<std::string> names{"T1", "T2", "T3", "T4", "T5"};
        SCopySetup copy(TablesDdl(names) + RowsDml(names, "new"), TablesDdl(names) + RowsDml(names, "old"), names);
        QCOMPARE(copy.prepared, 0);
        // The second table's copy waits for this lock, so Stop is pressed while it runs.
        CRowLock lock(copy.dest.Name(), "T2");
        QVERIFY(lock.Held());
        auto dialog = MakeDialog(copy.Job());
        auto* state = dialog->findChild<QLabel*>("m_lblState");
        auto* stop = dialog->findChild<QPushButton*>("m_btnStop");
        QVERIFY(stop->isVisible());
        ForgetLastBox();

        QVERIFY(dialog->Start());
        QTRY_VERIFY_WITH_TIMEOUT(state->text().startsWith("T2: 0 of 1 rows"), 30000);
        QTest::mouseClick(stop, Qt::LeftButton);
        // The window cannot be closed while the run goes on.
        QVERIFY(!dialog->close());
        QVERIFY(dialog->isVisible());
        lock.Release();
        QVERIFY(dialog->WaitForEnd(60000));

        auto* list = dialog->findChild<QTreeWidget*>("m_lstOutput");
        QCOMPARE(ResultLines(list),
                 QStringList({"T1 copy successful.", "T2 copy successful.",
                              "The copy was stopped by the user after table T2; 3 table(s) were not started.",
                              "Not started: T3, T4, T5"}));
        QCOMPARE(copy.dest.Scalar("SELECT NAME FROM T2"), std::string("new"));
        for (const char* table : {"T3", "T4", "T5"})
            QCOMPARE(copy.dest.Scalar(std::string("SELECT NAME FROM ") + table), std::string("old"));
        QCOMPARE(CMessageBox::LastText(), kNoBox);
        QVERIFY(dialog->RunResult().stopped);
        QVERIFY(dialog->isHidden());
    }

    void ProgressWithinATableRisesWithItsRowsAndTheBarWithTheRun()
    {
        SCopySetup copy(TablesDdl({"BIG", "SMALL"}) + RowsDml({"SMALL"}, "new") +
                            "SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 150000) DO BEGIN"
                            " INSERT INTO BIG VALUES (:I, 'row ' || :I); I = I + 1; END END^ SET TERM ; ^",
                        TablesDdl({"BIG", "SMALL"}), {"BIG", "SMALL"});
        QCOMPARE(copy.prepared, 0);
        copy.engine.EditSettings().maxBatchRows = 1; // slow enough to be seen in the middle
        auto dialog = MakeDialog(copy.Job());
        auto* state = dialog->findChild<QLabel*>("m_lblState");
        auto* progress = dialog->findChild<QProgressBar*>("m_progress");
        QCOMPARE(state->text(), QString("Counting the source rows..."));
        QStringList states;
        QList<int> bar;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (states.isEmpty() || states.back() != state->text())
                states.append(state->text());
            bar.append(progress->value());
        });
        watch.start(5);
        QVERIFY(dialog->Start());
        QVERIFY(dialog->WaitForEnd(120000));
        watch.stop();

        // The speed and time left join the line once half a second of rows
        // has passed, which a fast machine may not reach before the middle.
        const QRegularExpression middle("^BIG: ([0-9,]+) of 150,000 rows(, [0-9,]+ rows/s, [0-9]+:[0-5][0-9] left)?$");
        bool seenMiddle = false;
        for (const QString& text : states)
        {
            const QRegularExpressionMatch match = middle.match(text);
            const int rows = match.hasMatch() ? match.captured(1).remove(',').toInt() : 0;
            seenMiddle = seenMiddle || (rows > 0 && rows < 150000);
        }
        QVERIFY2(seenMiddle, qPrintable(states.join(" | ")));
        QVERIFY(std::is_sorted(bar.begin(), bar.end()));
        QVERIFY(std::any_of(bar.begin(), bar.end(), [](int value) { return value > 0 && value < 990; }));
        QCOMPARE(progress->value(), 1000);
        QCOMPARE(copy.dest.Scalar("SELECT COUNT(*) FROM BIG"), std::string("150000"));
    }

    void StopSaysSoAtOnceAndThenOffersToAbortTheTable()
    {
        const std::vector<std::string> names{"T1", "T2", "T3"};
        SCopySetup copy(TablesDdl(names) + RowsDml(names, "new"), TablesDdl(names) + RowsDml(names, "old"), names);
        QCOMPARE(copy.prepared, 0);
        // T2's emptying waits for this lock: the table is in progress when the
        // buttons are pressed, and the abort cancels the wait at the server.
        CRowLock lock(copy.dest.Name(), "T2");
        QVERIFY(lock.Held());
        auto dialog = MakeDialog(copy.Job());
        auto* state = dialog->findChild<QLabel*>("m_lblState");
        auto* stop = dialog->findChild<QPushButton*>("m_btnStop");
        QCOMPARE(stop->text(), QString("STOP"));
        ForgetLastBox();
        QVERIFY(dialog->Start());
        QTRY_VERIFY_WITH_TIMEOUT(state->text().startsWith("T2: 0 of 1 rows"), 30000);

        QTest::mouseClick(stop, Qt::LeftButton);
        QCOMPARE(state->text(), QString("T2: 0 of 1 rows - stopping after this table"));
        QCOMPARE(stop->text(), QString("Abort table now"));
        QVERIFY(stop->isEnabled());
        QTest::mouseClick(stop, Qt::LeftButton);
        QCOMPARE(state->text(), QString("Aborting T2: its rows are rolled back..."));
        QVERIFY(!stop->isEnabled());
        QVERIFY(dialog->WaitForEnd(60000));
        lock.Release();

        auto* list = dialog->findChild<QTreeWidget*>("m_lstOutput");
        // The abort is no failure: the table's line says what went back, and
        // the tables never started are named.
        QCOMPARE(ResultLines(list),
                 QStringList({"T1 copy successful.", "T2 aborted by the user; 0 rows rolled back.",
                              "The copy was aborted by the user in table T2; its rows were rolled back.",
                              "Not started: T3"}));
        QCOMPARE(state->text(), QString("The copy was aborted by the user in table T2; its rows were rolled back."));
        QVERIFY(dialog->findChild<QProgressBar*>("m_progress")->value() < 1000);
        QCOMPARE(CMessageBox::LastText(), kNoBox);
        QVERIFY(dialog->RunResult().aborted);
        QCOMPARE(dialog->RunResult().notStarted, 1);
        QCOMPARE(dialog->RunResult().failedTables, 0);
        QCOMPARE(copy.dest.Scalar("SELECT NAME FROM T2"), std::string("old"));
        QCOMPARE(copy.dest.Scalar("SELECT NAME FROM T3"), std::string("old"));
        const std::string log = copy.engine.Settings().files.runLog;
        QVERIFY(ReadWholeFile(log).find("Copy aborted by the user") != std::string::npos);
        QVERIFY(copy.engine.Journal().Entries().empty());
    }

    void EmptyTableListHidesAtOnceWithoutBox()
    {
        SCopySetup copy(TablesDdl({"A"}) + RowsDml({"A"}, "new"), TablesDdl({"A"}), {});
        QCOMPARE(copy.prepared, 0);
        auto dialog = MakeDialog(copy.Job());
        QSignalSpy finished(dialog.get(), &CDBCopyDlg::finished);
        ForgetLastBox();

        QVERIFY(dialog->Start());
        QVERIFY(dialog->WaitForEnd(10000));

        QVERIFY(dialog->isHidden());
        QCOMPARE(dialog->findChild<QTreeWidget*>("m_lstOutput")->topLevelItemCount(), 0);
        QCOMPARE(CMessageBox::LastText(), kNoBox);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toBool(), true);
        QCOMPARE(finished[0][1].toInt(), 0);
        QCOMPARE(copy.dest.Scalar("SELECT COUNT(*) FROM A"), std::string("0"));
    }

    void LogsThatCannotBeWrittenAreSaidOnce()
    {
        SCopySetup copy(TablesDdl({"A"}) + RowsDml({"A"}, "new"), TablesDdl({"A"}), {"A"});
        QCOMPARE(copy.prepared, 0);
        SRunSettings settings = copy.engine.Settings();
        settings.files.runLog = copy.program.File("no-such-folder/run_log.txt");
        copy.engine.Configure(settings);
        auto dialog = MakeDialog(copy.Job());
        ForgetLastBox();

        QVERIFY(dialog->Start());
        QVERIFY(dialog->WaitForEnd(60000));

        const QString expected = "The copy went on, but its log files could not be written: " +
                                 QString::fromStdString(copy.engine.Settings().files.runLog);
        QCOMPARE(ResultLines(dialog->findChild<QTreeWidget*>("m_lstOutput")),
                 QStringList({"A copy successful.", expected}));
        QCOMPARE(CMessageBox::LastText(), expected);
        QCOMPARE(copy.dest.Scalar("SELECT NAME FROM A"), std::string("new"));
    }

    void UnattendedRunHasNoStopButtonAndNoBox()
    {
        SCopySetup copy(TablesDdl({"A", "B"}) + RowsDml({"A", "B"}, "new"),
                        TablesDdl({"A"}) + "CREATE TABLE B (NAME VARCHAR(20), SINCE DATE NOT NULL);", {"A", "B"});
        QCOMPARE(copy.prepared, 0);
        auto dialog = MakeDialog(copy.Job(true));
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->findChild<QPushButton*>("m_btnStop")->isVisible());
        QSignalSpy finished(dialog.get(), &CDBCopyDlg::finished);
        ForgetLastBox();

        QVERIFY(dialog->Start());
        QVERIFY(dialog->WaitForEnd(60000));

        QCOMPARE(ResultLines(dialog->findChild<QTreeWidget*>("m_lstOutput")),
                 QStringList({"A copy successful.", "B copy failed."}));
        QCOMPARE(CMessageBox::LastText(), kNoBox);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toBool(), false);
        QCOMPARE(finished[0][1].toInt(), 1);
        QVERIFY(dialog->isHidden());
    }

    void NonAsciiTableNameIsShownAsItIs()
    {
        SCopySetup copy("CREATE TABLE \"GRÖSSE\" (ID INTEGER); INSERT INTO \"GRÖSSE\" VALUES (1);",
                        "CREATE TABLE \"GRÖSSE\" (ID INTEGER);", {"GRÖSSE"});
        QCOMPARE(copy.prepared, 0);
        auto dialog = MakeDialog(copy.Job());
        QStringList states;
        connect(dialog.get(), &CDBCopyDlg::tableStarted, this,
                [&] { states.append(dialog->findChild<QLabel*>("m_lblState")->text()); });
        ForgetLastBox();

        QVERIFY(dialog->Start());
        QVERIFY(dialog->WaitForEnd(60000));

        QCOMPARE(states, QStringList({QString::fromUtf8("Current table: GRÖSSE (0%)")}));
        const QStringList lines = ResultLines(dialog->findChild<QTreeWidget*>("m_lstOutput"));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith(QString::fromUtf8("GRÖSSE copy ")), qPrintable(lines[0]));
    }

    void ClockShowsHoursMinutesSecondsFromTheStart()
    {
        QCOMPARE(CDBCopyDlg::FormatElapsed(3725), QString("01:02:05"));
        QCOMPARE(CDBCopyDlg::FormatElapsed(0), QString("00:00:00"));
        QCOMPARE(CDBCopyDlg::FormatElapsed(59), QString("00:00:59"));
        QCOMPARE(CDBCopyDlg::FormatElapsed(100 * 3600 + 61), QString("100:01:01"));

        SCopySetup copy(TablesDdl({"A"}), TablesDdl({"A"}), {"A"});
        QCOMPARE(copy.prepared, 0);
        auto dialog = MakeDialog(copy.Job());
        QVERIFY(dialog->Start());
        // The first reading comes at once, not a second later.
        QCOMPARE(dialog->findChild<QLabel*>("m_lblTime")->text(), QString("00:00:00"));
        QVERIFY(dialog->WaitForEnd(60000));
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$")
                    .match(dialog->findChild<QLabel*>("m_lblTime")->text())
                    .hasMatch());
    }

    void ClosingTheWindowWaitsForTheTableInProgressAndStopsTheRest()
    {
        const std::vector<std::string> names{"T1", "T2", "T3"};
        SCopySetup copy(TablesDdl(names) + RowsDml(names, "new"), TablesDdl(names) + RowsDml(names, "old"), names);
        QCOMPARE(copy.prepared, 0);
        CRowLock lock(copy.dest.Name(), "T2");
        QVERIFY(lock.Held());
        auto dialog = MakeDialog(copy.Job());
        auto* state = dialog->findChild<QLabel*>("m_lblState");
        QVERIFY(dialog->Start());
        QTRY_VERIFY_WITH_TIMEOUT(state->text().startsWith("T2: 0 of 1 rows"), 30000);

        // The worker is held inside T2 while the window goes away.
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            lock.Release();
        });
        dialog.reset();
        release.join();

        QVERIFY(!copy.engine.IsRunActive());
        QCOMPARE(copy.dest.Scalar("SELECT NAME FROM T2"), std::string("new"));
        QCOMPARE(copy.dest.Scalar("SELECT NAME FROM T3"), std::string("old"));
    }

    void RunRefusedByABusyEngineEndsWithoutCopying()
    {
        SCopySetup copy(TablesDdl({"A"}) + RowsDml({"A"}, "new"), TablesDdl({"A"}), {"A"});
        QCOMPARE(copy.prepared, 0);
        auto busy = std::make_unique<CRunSession>(copy.engine);
        QVERIFY(busy->Begun());
        auto dialog = MakeDialog(copy.Job());
        QSignalSpy finished(dialog.get(), &CDBCopyDlg::finished);
        ForgetLastBox();

        QVERIFY(dialog->Start());
        QVERIFY(dialog->WaitForEnd(10000));
        busy.reset();

        QVERIFY(!dialog->RunResult().started);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toBool(), false);
        QCOMPARE(finished[0][1].toInt(), 0);
        QCOMPARE(CMessageBox::LastText(), kNoBox);
        QCOMPARE(copy.dest.Scalar("SELECT COUNT(*) FROM A"), std::string("0"));
    }

    void WindowServesOneRunAndHasNoCloseBox()
    {
        SCopySetup copy(TablesDdl({"A"}), TablesDdl({"A"}), {"A"});
        QCOMPARE(copy.prepared, 0);
        auto dialog = MakeDialog(copy.Job());
        QVERIFY(!(dialog->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(dialog->windowFlags() & Qt::WindowSystemMenuHint));
        QVERIFY(dialog->isWindow());
        QCOMPARE(dialog->parentWidget(), &m_owner);
        QVERIFY(dialog->Start());
        QVERIFY(!dialog->Start());
        QVERIFY(dialog->WaitForEnd(60000));
        QVERIFY(!dialog->Start());

        CDBCopyDlg withoutJob;
        withoutJob.Create(&m_owner, *m_pFont);
        QVERIFY(!withoutJob.Start());
    }
};

QTEST_MAIN(CDBCopyDlgTest)
#include "CDBCopyDlgTest.moc"
