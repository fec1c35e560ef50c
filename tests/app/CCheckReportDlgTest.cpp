// The main window's Check: the report window with one line per table and
// its findings, and its Copy starting the copy of the same tables.
#include "MainWindowTestSupport.h"
#include "ModalAnswer.h"

#include "app/CCheckReportDlg.h"
#include "app/CDBCopyDlg.h"
#include "support/CTempDatabase.h"
#include "support/LimboRows.h"
#include "ui/CFontSettings.h"
#include "ui/CMessageBox.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

namespace
{
const char* const kSource = R"(
CREATE TABLE CUSTOMER (ID INTEGER, NAME VARCHAR(20)); INSERT INTO CUSTOMER VALUES (1, 'Anne');
CREATE TABLE ORDERS (ID INTEGER, NOTE VARCHAR(30)); INSERT INTO ORDERS VALUES (7, 'a note far too long');
)";
const char* const kDest = R"(
CREATE TABLE CUSTOMER (ID INTEGER, NAME VARCHAR(20));
CREATE TABLE ORDERS (ID INTEGER, NOTE VARCHAR(5)); INSERT INTO ORDERS VALUES (1, 'old');
)";

QStringList Lines(QTreeWidget* report)
{
    QStringList lines;
    for (int row = 0; row < report->topLevelItemCount(); ++row)
    {
        QTreeWidgetItem* table = report->topLevelItem(row);
        lines << table->text(0);
        for (int child = 0; child < table->childCount(); ++child)
            lines << "    " + table->child(child)->text(0);
    }
    return lines;
}
} // namespace

class CCheckReportDlgTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SMainWindowFolders> m_folders;

  private slots:
    void init() { m_folders = std::make_unique<SMainWindowFolders>(); }

    void CheckShowsEachTableAndWritesNothing()
    {
        CTempDatabase source(kSource);
        CTempDatabase dest(kDest);
        auto dialog = m_folders->Start();
        dialog->m_sSourceDb = Wide(source.Name());
        dialog->m_sDestDb = Wide(dest.Name());
        QCOMPARE(Child<QAction>(dialog.get(), "ID_MEN_CHECK")->shortcut(), QKeySequence("Ctrl+K"));
        QStringList shown;
        QString summary;
        const auto answered = OnNextModal("CCheckReportDlg", [&](QWidget* report) {
            auto* list = Child<QTreeWidget>(report, "m_LISReport");
            // The check reads on its own thread; the window waits alive.
            QTRY_VERIFY_WITH_TIMEOUT(list->topLevelItemCount() == 2, 60000);
            shown = Lines(list);
            summary = Child<QLabel>(report, "m_LBLSummary")->text();
            QTest::mouseClick(Child<QPushButton>(report, "m_BTNClose"), Qt::LeftButton);
        });
        Child<QAction>(dialog.get(), "ID_MEN_CHECK")->trigger();
        QVERIFY(*answered);
        QCOMPARE(summary, QString("2 tables checked: 1 will fail, 0 with warnings, 1 fine."));
        QCOMPARE(shown, QStringList({"CUSTOMER: fine, 1 rows, about 1 s", "ORDERS: will fail, 1 rows, about 1 s",
                                     "    NOTE: 1 values are longer than VARCHAR(5); those rows fail"}));
        QCOMPARE(dest.Scalar("SELECT NOTE FROM ORDERS"), std::string("old"));
        QVERIFY(dialog->CopyDialog() == nullptr);
    }

    void TheCheckNamesTriggersLeftOffAndRowsInLimboBeforeTheTables()
    {
        CTempDatabase source(kSource);
        CTempDatabase dest(kDest);
        // A copy of an older version died with CUSTOMER's triggers off (its
        // journal line names no process)...
        QDir().mkpath(m_folders->DataFolder());
        WriteFile(m_folders->DataFolder() + "TriggerJournal.txt",
                  QByteArray::fromStdString(dest.Name()) + "\tCUSTOMER\tCUSTOMER_BI\n");
        // ...and a writer of a process that is gone prepared rows of ORDERS.
        QVERIFY(LeaveRowsInLimbo(dest.Name(), "ORDERS", "INSERT INTO ORDERS VALUES (2, 'new')"));

        // The window offers to switch the triggers on; not now.
        CMessageBox::SetNextAnswer(QMessageBox::No);
        auto dialog = m_folders->Start();
        dialog->m_sSourceDb = Wide(source.Name());
        dialog->m_sDestDb = Wide(dest.Name());
        QStringList shown;
        const auto answered = OnNextModal("CCheckReportDlg", [&](QWidget* report) {
            auto* list = Child<QTreeWidget>(report, "m_LISReport");
            QTRY_VERIFY_WITH_TIMEOUT(list->topLevelItemCount() == 4, 60000);
            shown = Lines(list);
            QTest::mouseClick(Child<QPushButton>(report, "m_BTNClose"), Qt::LeftButton);
        });
        Child<QAction>(dialog.get(), "ID_MEN_CHECK")->trigger();
        QVERIFY(*answered);
        QVERIFY2(shown.size() >= 2, qPrintable(shown.join('\n')));
        QCOMPARE(shown.mid(0, 2),
                 QStringList({"The triggers of table CUSTOMER were left inactive by an interrupted copy (CUSTOMER_BI); "
                              "the next copy switches them on again.",
                              "Rows of an interrupted copy of table ORDERS wait in prepared transactions; the next "
                              "copy into this database decides them."}));
        // The check wrote nothing: the journal and the prepared rows are as they were.
        QVERIFY(QFile::exists(m_folders->DataFolder() + "TriggerJournal.txt"));
    }

    void LeftBehindIsSaidInEitherLanguage()
    {
        QWidget owner;
        CFontSettings font(&owner);
        SCheckReport data;
        data.checked = true;
        data.leftBehind.triggersLeftOff = {{"db.fdb", "T", {"T_BI", "T_BU"}, "", ""}};
        data.leftBehind.rowsInLimbo = {"U"};
        data.tables = {{"T", ECheckSeverity::Fine, 1, 0.2, {}}};
        const struct
        {
            QString languageFile;
            QStringList lines;
        } cases[] = {
            {QString(),
             {"The triggers of table T were left inactive by an interrupted copy (T_BI, T_BU); the next copy "
              "switches them on again.",
              "Rows of an interrupted copy of table U wait in prepared transactions; the next copy into this "
              "database decides them.",
              "T: fine, 1 rows, about 1 s"}},
            {QStringLiteral(ROWMOVER_RESOURCE_DIR "German.lng"),
             {"Die Trigger der Tabelle T wurden von einem unterbrochenen Kopiervorgang inaktiv gelassen (T_BI, "
              "T_BU); der n\u00e4chste Kopiervorgang schaltet sie wieder ein.",
              "Zeilen eines unterbrochenen Kopiervorgangs der Tabelle U warten in vorbereiteten Transaktionen; der "
              "n\u00e4chste Kopiervorgang in diese Datenbank entscheidet \u00fcber sie.",
              "T: in Ordnung, 1 Zeilen, etwa 1 s"}},
        };
        for (const auto& c : cases)
        {
            CCheckReportDlg report(c.languageFile, font);
            report.ShowReport(data);
            auto* list = Child<QTreeWidget>(&report, "m_LISReport");
            QCOMPARE(Lines(list), c.lines);
            QVERIFY(!list->topLevelItem(0)->icon(0).isNull());
        }
    }

    void CopyInTheReportCopiesTheSameTables()
    {
        CTempDatabase source(kSource);
        CTempDatabase dest(kDest);
        auto dialog = m_folders->Start(true);
        dialog->m_sSourceDb = Wide(source.Name());
        dialog->m_sDestDb = Wide(dest.Name());
        dialog->OnRefresh();
        // Only CUSTOMER is chosen.
        Child<QCheckBox>(dialog.get(), "m_CHKAllTables")->setChecked(false);
        auto* tables = Child<QTreeWidget>(dialog.get(), "m_LISSourceTables");
        tables->topLevelItem(0)->setSelected(true);
        QStringList shown;
        const auto answered = OnNextModal("CCheckReportDlg", [&](QWidget* report) {
            auto* copy = Child<QPushButton>(report, "m_BTNCopy");
            QTRY_VERIFY_WITH_TIMEOUT(copy->isEnabled(), 60000);
            shown = Lines(Child<QTreeWidget>(report, "m_LISReport"));
            QTest::mouseClick(copy, Qt::LeftButton);
        });
        // The question before the copy carries what the check found.
        CMessageBox::SetNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "m_BTNCheck"), Qt::LeftButton);
        QVERIFY(*answered);
        QCOMPARE(shown, QStringList({"CUSTOMER: fine, 1 rows, about 1 s"}));
        QCOMPARE(CMessageBox::LastText(),
                 QString::fromStdString("The rows of 1 table(s) in the destination database " + dest.Name() +
                                        " will be replaced by the rows of the source.\n\n"
                                        "1 tables checked: 0 will fail, 0 with warnings, 1 fine."));
        QVERIFY(dialog->CopyDialog() != nullptr);
        QSignalSpy ended(dialog.get(), &CRowmoverDlg::copyFinished);
        QTRY_VERIFY_WITH_TIMEOUT(ended.count() == 1, 120000);
        QCOMPARE(dest.Scalar("SELECT NAME FROM CUSTOMER"), std::string("Anne"));
        QCOMPARE(dest.Scalar("SELECT NOTE FROM ORDERS"), std::string("old"));
    }

    void TheCopyButtonSaysItStartsTheCopyAndTheQuestionCountsOnlyTablesCopied()
    {
        // ITEMS cannot be copied: the destination wants a date nothing fills.
        CTempDatabase source(std::string(kSource) + "CREATE TABLE ITEMS (ID INTEGER); INSERT INTO ITEMS VALUES (1);");
        CTempDatabase dest(std::string(kDest) + "CREATE TABLE ITEMS (ID INTEGER, SINCE DATE NOT NULL);");
        auto dialog = m_folders->Start(true);
        dialog->m_sSourceDb = Wide(source.Name());
        dialog->m_sDestDb = Wide(dest.Name());
        dialog->OnRefresh();
        QString button;
        const auto answered = OnNextModal("CCheckReportDlg", [&](QWidget* report) {
            auto* copy = Child<QPushButton>(report, "m_BTNCopy");
            QTRY_VERIFY_WITH_TIMEOUT(copy->isEnabled(), 60000);
            button = copy->text();
            QTest::mouseClick(copy, Qt::LeftButton);
        });
        CMessageBox::SetNextAnswer(QMessageBox::Cancel);
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "m_BTNCheck"), Qt::LeftButton);
        QVERIFY(*answered);
        QCOMPARE(button, QString("Start copy"));
        QCOMPARE(CMessageBox::LastText(),
                 QString::fromStdString("The rows of 2 table(s) in the destination database " + dest.Name() +
                                        " will be replaced by the rows of the source.\n\n"
                                        "Not copied, as the check found: ITEMS\n\n"
                                        "3 tables checked: 2 will fail, 0 with warnings, 1 fine."));
        QVERIFY(dialog->CopyDialog() == nullptr);
    }

    void CountsAreGroupedAsInTheProgressWindow()
    {
        QWidget owner;
        CFontSettings font(&owner);
        SCheckReport data;
        data.checked = true;
        data.tables = {{"BIGT",
                        ECheckSeverity::Warning,
                        2000000,
                        0.2,
                        {{SCheckFinding::EKind::DroppedData, ECheckSeverity::Warning, "OLD", 2000000, ""}}}};
        const struct
        {
            QString languageFile;
            QStringList lines;
        } cases[] = {
            {QString(),
             {"BIGT: warnings, 2,000,000 rows, about 1 s",
              "    OLD: 2,000,000 values are not carried; the destination has no such column"}},
            {QStringLiteral(ROWMOVER_RESOURCE_DIR "German.lng"),
             {"BIGT: Warnungen, 2.000.000 Zeilen, etwa 1 s",
              "    OLD: 2.000.000 Werte werden nicht \u00fcbernommen; das Ziel hat keine solche Spalte"}},
        };
        for (const auto& c : cases)
        {
            CCheckReportDlg report(c.languageFile, font);
            report.ShowReport(data);
            QCOMPARE(Lines(Child<QTreeWidget>(&report, "m_LISReport")), c.lines);
        }
    }

    void WarningsAndFailuresHaveTheirIcons()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CCheckReportDlg report(QString(), font);
        SCheckReport data;
        data.checked = true;
        data.tables = {{"A",
                        ECheckSeverity::Warning,
                        3,
                        0.2,
                        {{SCheckFinding::EKind::Rounded, ECheckSeverity::Warning, "N", 2, "NUMERIC(9,2)"}}},
                       {"B",
                        ECheckSeverity::Fails,
                        1,
                        0.1,
                        {{SCheckFinding::EKind::NeedsDefault, ECheckSeverity::Fails, "D", -1, "DATE"}}}};
        report.ShowReport(data);
        auto* list = Child<QTreeWidget>(&report, "m_LISReport");
        QCOMPARE(Lines(list),
                 QStringList({"A: warnings, 3 rows, about 1 s", "    N: 2 values are rounded to NUMERIC(9,2)",
                              "B: will fail, 1 rows, about 1 s",
                              "    D (DATE): NOT NULL, not in the source and without DEFAULT; the table is "
                              "not copied"}));
        // At its first size the window shows its longest line whole.
        const QString longest = list->topLevelItem(1)->child(0)->text(0);
        QVERIFY2(report.width() >= list->fontMetrics().horizontalAdvance(longest) + list->indentation(),
                 qPrintable(QString::number(report.width())));
        QVERIFY(!list->topLevelItem(0)->icon(0).isNull());
        QVERIFY(list->topLevelItem(0)->icon(0).pixmap(20).toImage() !=
                list->topLevelItem(1)->icon(0).pixmap(20).toImage());
    }
};

QTEST_MAIN(CCheckReportDlgTest)
#include "CCheckReportDlgTest.moc"
