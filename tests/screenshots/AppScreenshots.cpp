// The windows of the application shell.
#include "ScreenshotRegistry.h"

#include "app/CAboutDlg.h"
#include "app/CCheckReportDlg.h"
#include "app/CRunResultsDlg.h"
#include "app/FirebirdClientVersion.h"
#include "config/CLanguageCatalog.h"

namespace
{
const SScreenshotRegistration kAboutDialog("CAboutDlg", [](SScreenshotContext& context) {
    CLanguageCatalog catalog;
    catalog.Open(context.sLanguageFile.toStdU16String());
    const QString ok = QString::fromStdU16String(catalog.GetText(ELanguageText::FrmMain_m_aMBtnOk));
    return std::unique_ptr<QWidget>(
        std::make_unique<CAboutDlg>(QString::fromLatin1(ProgramVersionText), FirebirdClientText(), *context.pFont, ok));
});
} // namespace

namespace
{
// A report as a check of a redesigned shop database gives it.
SCheckReport SampleCheckReport()
{
    using EKind = SCheckFinding::EKind;
    SCheckReport report;
    report.checked = true;
    report.tables = {
        {"CUSTOMER",
         ECheckSeverity::Warning,
         1200,
         0.06,
         {{EKind::DroppedData, ECheckSeverity::Warning, "PHONE", 960, "VARCHAR(20)"},
          {EKind::Receives, ECheckSeverity::Fine, "STATUS", -1, "DEFAULT"},
          {EKind::Triggers, ECheckSeverity::Fine, "", -1, "CUSTOMER_BI"},
          {EKind::Generators, ECheckSeverity::Fine, "", -1, "GEN_CUSTOMER=1200"}}},
        {"ORDERS",
         ECheckSeverity::Fails,
         24000,
         0.21,
         {{EKind::TooLong, ECheckSeverity::Fails, "REMARK", 31, "VARCHAR(40)"},
          {EKind::Rounded, ECheckSeverity::Warning, "AMOUNT", 212, "NUMERIC(15,2)"},
          {EKind::Deferred, ECheckSeverity::Fine, "LAST_ORDER_ID", -1, "FK_CUSTOMER_LAST"}}},
        {"PRODUCT", ECheckSeverity::Fine, 40, 0.05, {}},
    };
    return report;
}

const SScreenshotRegistration kCheckReport("CCheckReportDlg", [](SScreenshotContext& context) {
    auto dialog = std::make_unique<CCheckReportDlg>(context.sLanguageFile, *context.pFont);
    dialog->ShowReport(SampleCheckReport());
    return std::unique_ptr<QWidget>(std::move(dialog));
});

// The same check after a copy that died: triggers off, rows in limbo.
const SScreenshotRegistration kCheckReportLeftBehind("CCheckReportDlgLeftBehind", [](SScreenshotContext& context) {
    auto dialog = std::make_unique<CCheckReportDlg>(context.sLanguageFile, *context.pFont);
    SCheckReport report = SampleCheckReport();
    report.leftBehind.triggersLeftOff = {{"shop.fdb", "CUSTOMER", {"CUSTOMER_BI"}, "", ""}};
    report.leftBehind.rowsInLimbo = {"ORDERS"};
    dialog->ShowReport(report);
    return std::unique_ptr<QWidget>(std::move(dialog));
});
} // namespace

namespace
{
// A run into a redesigned shop database: one table failed, the user aborted
// another and the last was not started.
SCopyRunResult SampleRunResult()
{
    SCopyRunResult result;
    result.started = true;
    result.allCopied = false;
    result.failedTables = 1;
    result.aborted = true;
    result.abortedTable = "ORDER_LINES";
    result.notStartedTables = {"PRODUCT"};
    result.notStarted = 1;
    result.rowsCopied = 2001200;
    const auto outcome = [](const char* table, ETableStatus status, long long written, long long failed,
                            long long rolledBack, double seconds, const char* error) {
        STableOutcome row;
        row.table = table;
        row.status = status;
        row.rowsWritten = written;
        row.rowsFailed = failed;
        row.rowsRolledBack = rolledBack;
        row.seconds = seconds;
        row.error = error;
        return row;
    };
    result.tables = {
        outcome("BIGT", ETableStatus::Copied, 2000000, 0, 0, 412, ""),
        outcome("CUSTOMER", ETableStatus::Copied, 1200, 0, 0, 2, ""),
        outcome("ORDERS", ETableStatus::Failed, 0, 31, 0, 3,
                "arithmetic exception, numeric overflow, or string truncation"),
        outcome("ORDER_LINES", ETableStatus::Stopped, 0, 0, 820864, 95, "Copy aborted by the user"),
        outcome("PRODUCT", ETableStatus::Stopped, 0, 0, 0, 0, ""),
    };
    return result;
}

const SScreenshotRegistration kRunResults("CRunResultsDlg", [](SScreenshotContext& context) {
    const QString summary = QString::fromStdU16String(
        context.sLanguageFile.isEmpty() ? u"Last run: 2 table(s) copied, 1 failed, "
                                          u"2,001,200 rows, 00:08:32, aborted by the user"
                                        : u"Letzter Lauf: 2 Tabelle(n) kopiert, 1 "
                                          u"fehlgeschlagen, 2.001.200 Zeilen, 00:08:32, vom Benutzer abgebrochen");
    CRunResultsDlg::SFiles files;
    files.keptCopy = "/home/anne/shop/DB_copy_20261209/20261209031500_destination_before.fdb";
    return std::unique_ptr<QWidget>(std::make_unique<CRunResultsDlg>(context.sLanguageFile, *context.pFont, summary,
                                                                     u"localhost:/home/anne/shop/new_shop.fdb",
                                                                     SampleRunResult(), files));
});
} // namespace
