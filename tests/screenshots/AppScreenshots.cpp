// The windows of the application shell.
#include "ScreenshotRegistry.h"

#include "app/CAboutDlg.h"
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
