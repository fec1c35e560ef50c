// The main window's commands: choosing the databases, the table list and its
// selection, drops, the logs of the last run, the SQL editor, options and
// language, the help texts and closing.
#include "app/CRowmoverDlg.h"

#include "app/CAboutDlg.h"
#include "app/FirebirdClientVersion.h"
#include "core/FileHelpers.h"
#include "core/PathHelpers.h"
#include "sqleditor/CDBSQLDlg.h"
#include "sqleditor/CDBSelectDlg.h"
#include "ui/Artwork.h"
#include "ui/CDisplayTextDlg.h"
#include "ui/CFontSettings.h"
#include "ui/CHelpDlg.h"
#include "ui/CLanguageDlg.h"
#include "ui/CMessageBox.h"
#include "ui/COptionsDlg.h"
#include "ui/ShellOpen.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

bool CRowmoverDlg::SelectDatabase(std::u16string& database, std::u16string& user, std::u16string& password)
{
    SSelectDatabaseArgs args{m_sLanguageFile, *m_pFont,   database,   user,         password,    true,
                             m_sDefUser,      m_sDefPass, m_nRetries, m_bRecentDBs, m_RecentDBs, m_bExtendDBName,
                             m_rcSQLEditor};
    return CDBSelectDlg::Run(this, args);
}

void CRowmoverDlg::ShowDatabaseName(QLineEdit* box, const std::u16string& database)
{
    box->setText(QString::fromStdU16String(GetFileNamePart(database)));
}

void CRowmoverDlg::OnBrowseSource()
{
    if (IsCopyRunning())
        return;
    if (SelectDatabase(m_sSourceDb, m_sSourceUser, m_sSourcePassword))
        ShowDatabaseName(m_EDTSourceDB, m_sSourceDb);
}

void CRowmoverDlg::OnBrowseDest()
{
    if (IsCopyRunning())
        return;
    if (!SelectDatabase(m_sDestDb, m_sDestUser, m_sDestPassword))
        return;
    ShowDatabaseName(m_EDTDestDB, m_sDestDb);
    RefreshTableList();
}

void CRowmoverDlg::OnRefresh()
{
    RefreshTableList();
}

bool CRowmoverDlg::PrepareDatabases(bool checkOnly)
{
    switch (PrepareEngine(checkOnly))
    {
    case Prepared: return true;
    case SourceNotAttached: CMessageBox::ShowError(this, m_aMErrorConnectSource, m_aMError); return false;
    case DestNotAttached: CMessageBox::ShowError(this, m_aMErrorConnectDest, m_aMError); return false;
    // EngineBusy: the commands that get here are disabled during a run.
    default: return false;
    }
}

void CRowmoverDlg::RefreshTableList()
{
    // The list of a running copy stays as it was chosen.
    if (IsCopyRunning())
        return;
    m_LISSourceTables->clear();
    if (!PrepareDatabases(true))
        return;
    std::vector<STableListRow> rows;
    LoadTableList(rows);
    const QIcon table(ListImage(EListImage::Table, m_nImageSize));
    QList<QTreeWidgetItem*> items;
    for (const STableListRow& row : rows)
    {
        auto* item = new QTreeWidgetItem(
            QStringList{QString::fromUtf8(row.name.c_str()), QString::fromUtf8(row.triggers.c_str())});
        item->setIcon(0, table);
        items.append(item);
    }
    m_LISSourceTables->addTopLevelItems(items);
    update();
}

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
    QTreeWidgetItem* first = nullptr;
    for (int row = 0; row < m_LISSourceTables->topLevelItemCount() && !first; ++row)
        if (m_LISSourceTables->topLevelItem(row)->isSelected())
            first = m_LISSourceTables->topLevelItem(row);
    if (!first)
        return;
    // The editor works on copies: the window's database texts stay.
    CDBSQLDlg editor(m_sLanguageFile, *m_pFont, m_sSourceDb, m_sSourceUser, m_sSourcePassword,
                     first->text(0).left(8191).toStdU16String(), m_sDefUser, m_sDefPass, m_nRetries, m_bRecentDBs,
                     m_RecentDBs, m_bExtendDBName, m_rcSQLEditor, false, this);
    editor.exec();
}

void CRowmoverDlg::OnSqlEditor()
{
    CDBSQLDlg editor(m_sLanguageFile, *m_pFont, u"", u"", u"", u"", m_sDefUser, m_sDefPass, m_nRetries, m_bRecentDBs,
                     m_RecentDBs, m_bExtendDBName, m_rcSQLEditor, true, this);
    editor.exec();
}

void CRowmoverDlg::OnDropFiles(const QStringList& fullPaths)
{
    if (IsCopyRunning())
        return;
    std::vector<std::u16string> paths;
    for (const QString& path : fullPaths)
        paths.push_back(path.toStdU16String());
    const SDropTargets targets = DropTargets(paths, !m_EDTSourceDB->text().isEmpty());
    if (!targets.sSourceDb.empty())
    {
        m_sSourceDb = targets.sSourceDb;
        ShowDatabaseName(m_EDTSourceDB, m_sSourceDb);
    }
    if (!targets.sDestDb.empty())
    {
        m_sDestDb = targets.sDestDb;
        ShowDatabaseName(m_EDTDestDB, m_sDestDb);
    }
    if (targets.bRefresh)
        RefreshTableList();
}

void CRowmoverDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CRowmoverDlg::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.append(QFileInfo(url.toLocalFile()).absoluteFilePath());
    event->acceptProposedAction();
    OnDropFiles(paths);
}

void CRowmoverDlg::ViewLogFile(const std::u16string& path)
{
    // A run with logging off leaves no file; then there is nothing to show.
    if (!FileExists(path))
        return;
    CDisplayTextDlg viewer(QString::fromStdU16String(m_sLanguageFile), *m_pFont, QString::fromStdU16String(path), this);
    viewer.exec();
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
    COptionsDlg options(QString::fromStdU16String(m_sLanguageFile), *m_pFont, m_bDoBackups, m_bDoLogs, m_sDefUser,
                        m_sDefPass, m_nRetries, m_bRecentDBs, m_RecentDBs, m_bExtendDBName, m_sSourceCharset, this);
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
                           QString::fromLatin1(kProgramVersion));
}

void CRowmoverDlg::OnInfo()
{
    CAboutDlg about(QString::fromLatin1(CAboutDlg::kVersionText), FirebirdClientText(), *m_pFont, m_aMBtnOk, {}, {},
                    this);
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
    SaveSettings(SettingsFile());
    QDialog::closeEvent(event);
}
