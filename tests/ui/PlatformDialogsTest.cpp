#include "ui/CMessageBox.h"
#include "ui/FileDialogs.h"
#include "ui/FontDialog.h"
#include "ui/ShellOpen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class PlatformDialogsTest : public QObject
{
    Q_OBJECT

  private slots:
    void ErrorBoxRecordsTextCaptionAndDetail()
    {
        CMessageBox::SetNextAnswer(QMessageBox::Ok);
        CMessageBox::ShowError(nullptr, "Statement failed!", "ERROR", "table T missing");
        QCOMPARE(CMessageBox::LastText(), QString("Statement failed!"));
        QCOMPARE(CMessageBox::LastCaption(), QString("ERROR"));
        QCOMPARE(CMessageBox::LastDetail(), QString("table T missing"));
    }

    void AskReturnsThePresetAnswerOnce()
    {
        CMessageBox::SetNextAnswer(QMessageBox::Yes);
        QCOMPARE(CMessageBox::Ask(nullptr, "Drop?", "Question", QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
                 int(QMessageBox::Yes));
        // The preset is used up: the next box runs headless and gets the default.
        QCOMPARE(CMessageBox::Ask(nullptr, "Again?", "Question", QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
                 int(QMessageBox::No));
        QCOMPARE(CMessageBox::LastText(), QString("Again?"));
        QCOMPARE(CMessageBox::LastDetail(), QString());
    }

    void HeadlessErrorBoxDoesNotBlock()
    {
        QVERIFY(!CMessageBox::CanShowWindows());
        QElapsedTimer timer;
        timer.start();
        CMessageBox::ShowError(nullptr, "No source database selected.", "ERROR");
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(CMessageBox::LastText(), QString("No source database selected."));
    }

    void FilterPairsBecomeQtFilters()
    {
        QCOMPARE(ConvertFileDialogFilter("SQL script (*.sql)|*.sql||"), QString("SQL script (*.sql)"));
        QCOMPARE(ConvertFileDialogFilter("CSV file (*.csv)|*.csv|All files (*.*)|*.*||"),
                 QString("CSV file (*.csv);;All files (*.*)"));
        // The pattern part decides what is listed, separated by ";" with blanks.
        QCOMPARE(ConvertFileDialogFilter("Firebird/Interbase databases (*.fdb;*.gdb)|*.fdb*; *.gdb|Text|*.txt||"),
                 QString("Firebird/Interbase databases (*.fdb* *.gdb);;Text (*.txt)"));
        QCOMPARE(ConvertFileDialogFilter(""), QString());
    }

    void SaveNameWithoutExtensionGetsTheDefault()
    {
        SetNextFileDialogAnswer("/tmp/result");
        QCOMPARE(SaveFileDialog(nullptr, "CSV file (*.csv)|*.csv||", "csv"), QString("/tmp/result.csv"));
        SetNextFileDialogAnswer("/tmp/result.txt");
        QCOMPARE(SaveFileDialog(nullptr, "CSV file (*.csv)|*.csv||", ".csv"), QString("/tmp/result.txt"));
        QCOMPARE(LastFileDialogFilter(), QString("CSV file (*.csv)"));
    }

    void CancelledDialogsReturnNothing()
    {
        SetNextFileDialogAnswer({});
        QVERIFY(SaveFileDialog(nullptr, "SQL script (*.sql)|*.sql||", "sql").isEmpty());
        SetNextFileDialogAnswer({});
        QVERIFY(OpenFileDialog(nullptr, "SQL script (*.sql)|*.sql||", "sql", "/tmp").isEmpty());
        QCOMPARE(LastFileDialogInitialPath(), QString("/tmp"));
        // Without a preset and without a display nothing is chosen.
        QVERIFY(OpenFileDialog(nullptr, "SQL script (*.sql)|*.sql||", "sql").isEmpty());
    }

    void OpenPrefersTheExistingFileWithTheDefaultExtension()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("script.sql"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        SetNextFileDialogAnswer(dir.filePath("script"));
        QCOMPARE(OpenFileDialog(nullptr, "SQL script (*.sql)|*.sql||", "sql"), dir.filePath("script.sql"));
    }

    void FontDialogPresets()
    {
        QFont initial("Initial Face");
        QFont chosen("Chosen Face");
        SetNextFontDialogAnswer(chosen);
        const std::optional<QFont> answer = ChooseFont(nullptr, initial);
        QVERIFY(answer.has_value());
        QCOMPARE(answer->family(), QString("Chosen Face"));
        QCOMPARE(LastFontDialogInitial().family(), QString("Initial Face"));
        SetNextFontDialogAnswer(std::nullopt);
        QVERIFY(!ChooseFont(nullptr, initial).has_value());
    }

    void ShellTargetsBecomeAddresses()
    {
        QCOMPARE(UrlForTarget("https://firebirdsql.org/").scheme(), QString("https"));
        QCOMPARE(UrlForTarget("mailto:someone@example.org").scheme(), QString("mailto"));
        QCOMPARE(UrlForTarget("/var/log/run_log.txt"), QUrl::fromLocalFile("/var/log/run_log.txt"));
        QCOMPARE(UrlForTarget("run_log.txt"), QUrl::fromLocalFile(QDir::current().filePath("run_log.txt")));
        QVERIFY(UrlForTarget("  ").isEmpty());
    }

    void RecordingKeepsTheTargetInsteadOfOpening()
    {
        SetShellOpenRecording(true);
        ResetShellOpenRecord();
        QVERIFY(!OpenWithDefaultHandler(""));
        QCOMPARE(ShellOpenCount(), 0);
        QVERIFY(OpenWithDefaultHandler("mailto:someone@example.org"));
        QCOMPARE(LastShellOpenTarget(), QString("mailto:someone@example.org"));
        QCOMPARE(ShellOpenCount(), 1);
    }
};

QTEST_MAIN(PlatformDialogsTest)
#include "PlatformDialogsTest.moc"
