// The windows of the application shell.
#include "ScreenshotRegistry.h"

#include "app/CAboutDlg.h"
#include "app/CCheckReportDlg.h"
#include "app/FirebirdClientVersion.h"
#include "config/CLanguageCatalog.h"

namespace
{
const SScreenshotRegistration kAboutDialog("CAboutDlg", [](SScreenshotContext& context) {
    CLanguageCatalog catalog;
    catalog.Open(context.sLanguageFile.toStdU16String());
    const QString ok = QString::fromStdU16String(catalog.GetText(ELanguageText::FrmMain_m_aMBtnOk));
    return std::unique_ptr<QWidget>(std::make_unique<CAboutDlg>(QString::fromLatin1(CAboutDlg::kVersionText),
                                                                FirebirdClientText(), *context.pFont, ok));
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
} // namespace
