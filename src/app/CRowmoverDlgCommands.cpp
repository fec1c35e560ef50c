// The main window's commands: choosing the databases, the table list and its
// selection, drops, the SQL editor, the help texts and closing.
#include "app/CRowmoverDlg.h"

#include "app/CAboutDlg.h"
#include "app/FirebirdClientVersion.h"
#include "core/PathHelpers.h"
#include "sqleditor/CDBSQLDlg.h"
#include "sqleditor/CDBSelectDlg.h"
#include "ui/Artwork.h"
#include "ui/CFontSettings.h"
#include "ui/CHelpDlg.h"
#include "ui/CMessageBox.h"
#include "ui/ShellOpen.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
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
    if (SelectDatabase(m_sSourceDb, m_sSourceUser, m_sSourcePassword))
        ShowDatabaseName(m_EDTSourceDB, m_sSourceDb);
}

void CRowmoverDlg::OnBrowseDest()
{
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
    default: return false;
    }
}

void CRowmoverDlg::RefreshTableList()
{
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
    accept();
}

void CRowmoverDlg::closeEvent(QCloseEvent* event)
{
    SaveSettings(SettingsFile());
    QDialog::closeEvent(event);
}
