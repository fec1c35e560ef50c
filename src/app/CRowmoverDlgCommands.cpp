// The main window's commands: the table list's selection, the logs of the
// last run, the SQL editor, options and language, the help texts and closing.
#include "app/CRowmoverDlg.h"

#include "app/CAboutDlg.h"
#include "app/FirebirdClientVersion.h"
#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "core/FileHelpers.h"
#include "core/MemoryRelease.h"
#include "core/TextEncoding.h"
#include "sqleditor/CDBSQLDlg.h"
#include "ui/CDisplayTextDlg.h"
#include "ui/CFontSettings.h"
#include "ui/CHelpDlg.h"
#include "ui/CLanguageDlg.h"
#include "ui/CMessageBox.h"
#include "ui/COptionsDlg.h"
#include "ui/ShellOpen.h"
#include "ui/WindowSizes.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QTreeWidget>

void CRowmoverDlg::OnSelectAll()
{
    m_LISSourceTables->selectAll();
}

void CRowmoverDlg::OnInvertSelection()
{
    for (int row = 0; row < m_LISSourceTables->topLevelItemCount(); ++row)
    {
        QTreeWidgetItem* item = m_LISSourceTables->topLevelItem(row);
        item->setSelected(!item->isSelected());
    }
}

void CRowmoverDlg::OnTableDblClick()
{
    // A modal editor would cover the progress window and its STOP.
    if (IsCopyRunning())
        return;
    QTreeWidgetItem* first = nullptr;
    for (int row = 0; row < m_LISSourceTables->topLevelItemCount() && !first; ++row)
        if (m_LISSourceTables->topLevelItem(row)->isSelected())
            first = m_LISSourceTables->topLevelItem(row);
    if (!first)
        return;
    // The editor works on copies: the window's database texts stay.
    {
        CDBSQLDlg editor(m_sLanguageFile, *m_pFont, m_sSourceDb, m_sSourceUser, m_sSourcePassword,
                         first->text(0).left(8191).toStdU16String(), m_sDefUser, m_sDefPass, m_nRetries, m_bRecentDBs,
                         m_RecentDBs, m_bExtendDBName, m_rcSQLEditor, false, this);
        editor.exec();
    }
    // What the editor's result held goes back to the system.
    ReleaseFreedMemory();
}

void CRowmoverDlg::OnSqlEditor()
{
    if (IsCopyRunning())
        return;
    {
        CDBSQLDlg editor(m_sLanguageFile, *m_pFont, u"", u"", u"", u"", m_sDefUser, m_sDefPass, m_nRetries,
                         m_bRecentDBs, m_RecentDBs, m_bExtendDBName, m_rcSQLEditor, true, this);
        editor.exec();
    }
    ReleaseFreedMemory();
}

void CRowmoverDlg::ViewLogFile(const std::u16string& path)
{
    // A run with logging off leaves no file; then there is nothing to show.
    if (!FileExists(path))
        return;
    {
        CDisplayTextDlg viewer(QString::fromStdU16String(m_sLanguageFile), *m_pFont, QString::fromStdU16String(path),
                               this);
        viewer.exec();
    }
    ReleaseFreedMemory();
}

void CRowmoverDlg::OnViewSqlLog()
{
    ViewLogFile(m_sLastSqlLog);
}

void CRowmoverDlg::OnViewTxtLog()
{
    ViewLogFile(m_sLastTxtLog);
}

void CRowmoverDlg::OnViewLog()
{
    ViewLogFile(m_sLastLog);
}

void CRowmoverDlg::OnOptions()
{
    if (IsCopyRunning())
        return;
    COptionsDlg options(QString::fromStdU16String(m_sLanguageFile), *m_pFont, m_bDoBackups, m_bDoLogs, m_sDefUser,
                        m_sDefPass, m_nRetries, m_bRecentDBs, m_RecentDBs, m_bExtendDBName, m_sSourceCharset, m_bVerify,
                        this);
    options.EditAskBeforeCopy(m_bAskBeforeCopy);
    options.EditCopyPlaces(m_bDoWayBack, m_sBackupDir, m_sLogDir);
    if (options.exec() != QDialog::Accepted)
        return;
    // The new defaults replace what was chosen for the two databases; the
    // copy engine keeps the defaults it was made with.
    UseDefaultCredentials();
    m_pFont->ApplyTo(this, true);
    update();
}

void CRowmoverDlg::OnLanguage()
{
    if (IsCopyRunning())
        return;
    std::u16string file = m_sLanguageFile;
    std::u16string name = m_sLanguageName;
    CLanguageDlg language(m_sLanguageFile, m_sLanguageName, m_sHomeBase + u"Languages.ini", m_sHomeBase, file, name,
                          *m_pFont, this);
    if (language.exec() == QDialog::Rejected)
        return;
    ApplyTexts(file);
    m_sLanguageName = name;
    m_bLanguageUnset = false;
    update();
    m_pMenuBar->update();
}

void CRowmoverDlg::OnHelp()
{
    CHelpDlg help(QString::fromStdU16String(m_sLanguageFile), *m_pFont, this);
    help.exec();
}

void CRowmoverDlg::OnLicense()
{
    OpenWithDefaultHandler(QString::fromStdU16String(m_sHomeBase + u"License.txt"));
}

void CRowmoverDlg::OnReadMe()
{
    OpenWithDefaultHandler(QString::fromStdU16String(m_sHomeBase + u"ReadMe.txt"));
}

void CRowmoverDlg::OnCheckUpdate()
{
    // The language key stays "ENG" whatever language is chosen.
    OpenWithDefaultHandler(QString::fromLatin1(kUpdatePage) + QStringLiteral("?lang=ENG&progvers=") +
                           QString::fromLatin1(ProgramVersionNumber));
}

void CRowmoverDlg::OnInfo()
{
    CAboutDlg about(QString::fromLatin1(ProgramVersionText), FirebirdClientText(), *m_pFont, m_aMBtnOk, {}, {}, this);
    about.exec();
}

void CRowmoverDlg::OnExit()
{
    if (IsCopyRunning())
        return;
    accept();
}

void CRowmoverDlg::closeEvent(QCloseEvent* event)
{
    // The window stays while a copy runs: its worker uses the engine.
    if (IsCopyRunning())
    {
        event->ignore();
        return;
    }
    StoreWindowPosition();
    m_sWindowSizes = WindowSizesText();
    std::string error;
    if (!SaveSettings(SettingsFile(), &error))
    {
        CLanguageCatalog catalog;
        catalog.Open(m_sLanguageFile);
        CMessageBox::ShowError(
            this,
            QString::fromStdString(
                FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMSettingsNotSaved), WideToUtf8(SettingsFile()))),
            m_aMError, QString::fromStdString(error));
    }
    QDialog::closeEvent(event);
}

void CRowmoverDlg::RestoreWindowPosition()
{
    const int width = m_rcMain.right - m_rcMain.left;
    const int height = m_rcMain.bottom - m_rcMain.top;
    if (width == -1 && height == -1)
    {
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    if (width <= 0 || height <= 0)
        return;
    const QRect area(m_rcMain.left, m_rcMain.top, width, height);
    // A place on a screen that is no longer there would hide the window: it
    // then keeps only its size and goes where the desktop puts it.
    if (QGuiApplication::screenAt(area.center()) == nullptr)
        resize(area.size());
    else
        setGeometry(area);
}

void CRowmoverDlg::StoreWindowPosition()
{
    if (isMaximized())
    {
        m_rcMain = SWindowRect{0, 0, -1, -1};
        return;
    }
    const QRect area = normalGeometry().isValid() ? normalGeometry() : geometry();
    m_rcMain = SWindowRect{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
}
