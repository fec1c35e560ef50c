// The six-argument copy with the progress window shown, against real
// databases, with a program folder of its own and captured output.
#include "app/CDBCopyDlgUnattended.h"
#include "app/CDBCopyDlg.h"
#include "cli/CUnattendedRun.h"

#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sstream>

namespace
{
// A program folder that keeps its settings to itself, as "SavePath.ini"
// allows, so the run reads no user's settings.
struct SProgramFolder
{
    SProgramFolder() { AppendTextToFile(folder.File("SavePath.ini"), "UseExeFilePath=\"1\"\r\n"); }
    std::string ProgramFile() const { return folder.File("rowmover"); }
    CTempFolder folder;
};

// What the progress window showed while a run went on.
struct SWindowWatch
{
    SWindowWatch()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<CDBCopyDlg*>(widget); dialog != nullptr && dialog->isVisible())
                {
                    windowShown = true;
                    stopShown = stopShown || dialog->findChild<QPushButton*>("m_btnStop")->isVisible();
                }
        });
        timer.start();
    }

    QTimer timer;
    bool windowShown = false;
    bool stopShown = false;
};

std::vector<std::string> Arguments(const std::string& source, const std::string& dest)
{
    return {source, TestUser, TestPassword, dest, TestUser, TestPassword};
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

bool AnyCopyWindowLeft()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<CDBCopyDlg*>(widget) != nullptr)
            return true;
    return false;
}

const char* const kSourceDdl = "CREATE TABLE A (ID INTEGER, NAME VARCHAR(9)); INSERT INTO A VALUES (1, 'a');"
                               "CREATE TABLE B (ID INTEGER, NAME VARCHAR(9)); INSERT INTO B VALUES (2, 'b');"
                               "CREATE TABLE C (ID INTEGER, NAME VARCHAR(9)); INSERT INTO C VALUES (3, 'c');";
} // namespace

class CDBCopyDlgUnattendedTest : public QObject
{
    Q_OBJECT

  private slots:
    void FailingTableGivesExitOneWithLinesLogsAndSummary()
    {
        // B's destination has a NOT NULL date that nothing fills.
        CTempDatabase source(kSourceDdl);
        CTempDatabase dest(
            "CREATE TABLE A (ID INTEGER, NAME VARCHAR(9)); CREATE TABLE B (NAME VARCHAR(9), SINCE DATE NOT NULL);"
            "CREATE TABLE C (ID INTEGER, NAME VARCHAR(9));");
        SProgramFolder program;
        std::ostringstream out;
        std::ostringstream err;
        SWindowWatch watch;

        const int code =
            RunUnattendedWithProgress(Arguments(source.Name(), dest.Name()), program.ProgramFile(), out, err);

        QCOMPARE(code, int(ExitTableFailed));
        const std::vector<std::string> lines = Lines(out.str());
        QCOMPARE(lines.size(), size_t(7));
        QCOMPARE(lines[0], std::string("A copy successful."));
        QCOMPARE(lines[1], std::string("B copy failed."));
        QCOMPARE(lines[2], std::string("C copy successful."));
        QVERIFY(lines[3].rfind("Run log: ", 0) == 0);
        QVERIFY(FileExists(lines[3].substr(9)));
        QVERIFY(lines[4].rfind("SQL log: ", 0) == 0);
        QVERIFY(lines[5].rfind("Data text log: ", 0) == 0);
        QVERIFY(lines[6].rfind("This run wrote ", 0) == 0);
        // After a failed table the destination as it was before the run is kept beside the logs.
        const std::string kept = "The destination database as it was before the copy is kept in ";
        const std::vector<std::string> errors = Lines(err.str());
        QCOMPARE(errors.size(), size_t(2));
        QCOMPARE(errors[0], std::string("Copy process failed"));
        QVERIFY(errors[1].rfind(kept, 0) == 0);
        QVERIFY(FileExists(errors[1].substr(kept.size())));
        QVERIFY(errors[1].find("_destination_before") != std::string::npos);
        QVERIFY(watch.windowShown);
        QVERIFY(!watch.stopShown);
        QVERIFY(!AnyCopyWindowLeft());
        QCOMPARE(dest.Scalar("SELECT NAME FROM C"), std::string("c"));
    }

    void AllCopiedGivesExitZeroAndTheSameLinesAsWithoutWindow()
    {
        CTempDatabase source(kSourceDdl);
        CTempDatabase dest(
            "CREATE TABLE A (ID INTEGER, NAME VARCHAR(9)); CREATE TABLE C (ID INTEGER, NAME VARCHAR(9));");
        SProgramFolder program;
        std::ostringstream out;
        std::ostringstream err;

        const int code =
            RunUnattendedWithProgress(Arguments(source.Name(), dest.Name()), program.ProgramFile(), out, err);

        QCOMPARE(code, int(ExitAllCopied));
        QCOMPARE(err.str(), std::string());
        std::ostringstream plainOut;
        std::ostringstream plainErr;
        QCOMPARE(RunUnattended(Arguments(source.Name(), dest.Name()), program.ProgramFile(), plainOut, plainErr),
                 int(ExitAllCopied));
        const std::vector<std::string> windowed = Lines(out.str());
        const std::vector<std::string> plain = Lines(plainOut.str());
        QCOMPARE(windowed.size(), plain.size());
        QCOMPARE(std::vector<std::string>(windowed.begin(), windowed.begin() + 2),
                 (std::vector<std::string>{"A copy successful.", "C copy successful."}));
        QCOMPARE(std::vector<std::string>(plain.begin(), plain.begin() + 2),
                 std::vector<std::string>(windowed.begin(), windowed.begin() + 2));
        QCOMPARE(dest.Scalar("SELECT NAME FROM A"), std::string("a"));
    }

    void OnATerminalTheWindowsStateLineIsAlsoTheProgressLine()
    {
        CTempDatabase source(kSourceDdl);
        CTempDatabase dest(
            "CREATE TABLE A (ID INTEGER, NAME VARCHAR(9)); CREATE TABLE C (ID INTEGER, NAME VARCHAR(9));");
        SProgramFolder program;
        std::ostringstream out;
        std::ostringstream err;

        QCOMPARE(
            RunUnattendedWithProgress(Arguments(source.Name(), dest.Name()), program.ProgramFile(), out, err, true),
            int(ExitAllCopied));
        const std::string rewrite = "\r\x1b[K";
        const std::string shown = err.str();
        QVERIFY2(shown.find(rewrite + "A: 1 of 1 rows") != std::string::npos, shown.c_str());
        QVERIFY2(shown.find(rewrite + "C: ") != std::string::npos, shown.c_str());
        // Cleared before each result line and at the end; no line of its own.
        QCOMPARE(shown.substr(shown.size() - rewrite.size()), rewrite);
        QVERIFY(shown.find('\n') == std::string::npos);
        QCOMPARE(Lines(out.str()).at(0), std::string("A copy successful."));
    }

    void UnattachableSourceDoesNotStartAndShowsNoWindow()
    {
        CTempDatabase dest("CREATE TABLE A (ID INTEGER);");
        CTempFolder elsewhere;
        SProgramFolder program;
        std::ostringstream out;
        std::ostringstream err;
        SWindowWatch watch;

        const int code = RunUnattendedWithProgress(Arguments(elsewhere.File("missing.fdb"), dest.Name()),
                                                   program.ProgramFile(), out, err);

        QCOMPARE(code, int(ExitNotStarted));
        QCOMPARE(out.str(), std::string());
        // The attach failure with the server's reason on a line of its own,
        // and nothing about tables that were never read.
        const QStringList lines = QString::fromStdString(err.str()).split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString("Cannot attach source database."));
        QVERIFY2(lines[1].contains(QString::fromStdString(elsewhere.File("missing.fdb"))), qPrintable(lines[1]));
        QCOMPARE(lines[2], QString());
        QApplication::processEvents();
        QVERIFY(!watch.windowShown);
    }

    void IdenticalDatabasesDoNotStart()
    {
        SProgramFolder program;
        std::ostringstream out;
        std::ostringstream err;
        QCOMPARE(RunUnattendedWithProgress(Arguments("same.fdb", "same.fdb"), program.ProgramFile(), out, err),
                 int(ExitNotStarted));
        QCOMPARE(err.str(), std::string("Source and destination database are identical!\n"));
    }
};

QTEST_MAIN(CDBCopyDlgUnattendedTest)
#include "CDBCopyDlgUnattendedTest.moc"
