// The small dialogs of the user-interface library.
#include "ScreenshotRegistry.h"

#include "core/CStringGrid.h"
#include "ui/CDisplayTextDlg.h"
#include "ui/CHelpDlg.h"
#include "ui/CLanguageDlg.h"
#include "ui/COptionsDlg.h"

#include <QDir>
#include <QFile>

namespace
{
const char kSampleLog[] = "<TBL_CUSTOMERS         > Copy started (3 rows)\r\n\r\n"
                          "<TBL_CUSTOMERS         > Copy successful. (3 of 3 rows)\r\n\r\n"
                          "<TBL_ORDERS            > WARNING: Column NOTE missing in destination (skipped)\r\n\r\n"
                          "<TBL_ORDERS            > Copy successful. (12 of 12 rows)\r\n\r\n"
                          "<TBL_ARTICLES          > ERROR: Record failed (ID=17: string right truncation)\r\n\r\n"
                          "Grüße aus Köln: UTF-8 text is shown as written.\r\n";

const SScreenshotRegistration kTextDialog("CDisplayTextDlg", [](SScreenshotContext& context) {
    const QString path = QDir(context.sSampleDir).filePath("run_log.txt");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(kSampleLog);
    file.close();
    auto dialog = std::make_unique<CDisplayTextDlg>(context.sLanguageFile, *context.pFont, path);
    dialog->resize(640, 300);
    return std::unique_ptr<QWidget>(std::move(dialog));
});

const SScreenshotRegistration kHelpDialog("CHelpDlg", [](SScreenshotContext& context) {
    return std::unique_ptr<QWidget>(std::make_unique<CHelpDlg>(context.sLanguageFile, *context.pFont));
});

struct SOptions
{
    bool bDoBackups = true;
    bool bDoLogs = true;
    std::u16string sDefUser = u"SYSDBA";
    std::u16string sDefPass = u"velvetoak";
    int nRetries = 10;
    bool bRecentDBs = true;
    CStringGrid recent;
    bool bExtendDBName = true;
    std::u16string sSourceCharset;
    bool bVerify = true;
    bool bWayBack = true;
    std::u16string sBackupDir = u"/srv/rowmover/backups";
    std::u16string sLogDir;
};

const SScreenshotRegistration kOptionsDialog("COptionsDlg", [](SScreenshotContext& context) {
    SOptions& o = context.Keep(std::make_shared<SOptions>());
    auto dialog = std::make_unique<COptionsDlg>(context.sLanguageFile, *context.pFont, o.bDoBackups, o.bDoLogs,
                                                o.sDefUser, o.sDefPass, o.nRetries, o.bRecentDBs, o.recent,
                                                o.bExtendDBName, o.sSourceCharset, o.bVerify);
    dialog->EditCopyPlaces(o.bWayBack, o.sBackupDir, o.sLogDir);
    return std::unique_ptr<QWidget>(std::move(dialog));
});

struct SLanguageChoice
{
    std::u16string sFile;
    std::u16string sName;
};

const SScreenshotRegistration kLanguageDialog("CLanguageDlg", [](SScreenshotContext& context) {
    SLanguageChoice& choice = context.Keep(std::make_shared<SLanguageChoice>());
    choice.sFile = context.sLanguageFile.toStdU16String();
    const std::u16string folder = (QDir(context.sProgramDir).absolutePath() + '/').toStdU16String();
    return std::unique_ptr<QWidget>(std::make_unique<CLanguageDlg>(
        choice.sFile, choice.sName, folder + u"Languages.ini", folder, choice.sFile, choice.sName, *context.pFont));
});
} // namespace
