// The main window's database choice: the selection dialog, dropped files,
// the attach checks with their marks, and the table list they fill.
#include "app/CRowmoverDlg.h"

#include "cli/WayBackText.h"
#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "copy/run/CCopyEngine.h"
#include "core/PathHelpers.h"
#include "sqleditor/CDBSelectDlg.h"
#include "ui/Artwork.h"
#include "ui/CMessageBox.h"
#include "ui/WaitForWork.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

namespace
{
// The colour of a database label whose database could not be attached.
const QColor kFailedColour(0xc0, 0x00, 0x00);
} // namespace

void CRowmoverDlg::OnBrowseSource()
{
    BrowseDatabase(ESide::Source);
}

void CRowmoverDlg::OnBrowseDest()
{
    BrowseDatabase(ESide::Dest);
}

void CRowmoverDlg::BrowseDatabase(ESide side)
{
    if (IsCopyRunning())
        return;
    const bool source = side == ESide::Source;
    std::u16string& user = source ? m_sSourceUser : m_sDestUser;
    std::u16string& password = source ? m_sSourcePassword : m_sDestPassword;
    std::u16string database = Database(side);
    std::u16string newUser = user;
    std::u16string newPassword = password;
    SSelectDatabaseArgs args{m_sLanguageFile, *m_pFont,   database,   newUser,      newPassword, true,
                             m_sDefUser,      m_sDefPass, m_nRetries, m_bRecentDBs, m_RecentDBs, m_bExtendDBName,
                             m_rcSQLEditor};
    // Cancel changes nothing: the window goes on with what it shows.
    if (!CDBSelectDlg::RunFor(this, args, source ? CDBSelectDlg::ERole::Source : CDBSelectDlg::ERole::Destination))
        return;
    const std::u16string oldDatabase = Database(side);
    const std::u16string oldUser = user;
    const std::u16string oldPassword = password;
    user = newUser;
    password = newPassword;
    SetDatabase(side, database);
    // A cancelled attach takes the choice back: the window is as it was.
    if (!DatabasesChosen({side}))
    {
        user = oldUser;
        password = oldPassword;
        SetDatabase(side, oldDatabase);
        ShowDatabases();
    }
}

bool CRowmoverDlg::DatabasesChosen(const std::vector<ESide>& sides)
{
    ShowDatabases();
    m_bWaitCancelled = false;
    if (!m_sSourceDb.empty() && !m_sDestDb.empty())
    {
        RefreshTableList();
        return !m_bWaitCancelled;
    }
    // The list belongs to the databases it was read from.
    m_LISSourceTables->clear();
    for (const ESide side : sides)
    {
        if (Database(side).empty())
            continue;
        std::optional<SDatabaseCheck> check =
            WaitForDatabases(MakeDatabaseCheck(side == ESide::Source, side == ESide::Dest, false));
        if (!check)
            return false;
        const bool attached = TakeDatabaseCheck(*check) == Prepared;
        ShowDatabases();
        if (!attached)
            CMessageBox::ShowError(this, side == ESide::Source ? m_aMErrorConnectSource : m_aMErrorConnectDest,
                                   m_aMError, QString::fromStdString(LastAttachError()));
    }
    return true;
}

void CRowmoverDlg::ShowDatabases()
{
    QStringList direct;
    for (const ESide side : {ESide::Source, ESide::Dest})
    {
        const bool source = side == ESide::Source;
        QLineEdit* box = source ? m_EDTSourceDB : m_EDTDestDB;
        const QString name = QString::fromStdU16String(Database(side));
        box->setText(name);
        // A long name is elided in its middle (CElidedEdit): the tool tip has it whole.
        box->setToolTip(name);
        box->home(false);
        QLabel* label = source ? m_LBLSourceDB : m_LBLDestDB;
        QPalette palette;
        if (AttachState(side) == EAttach::Failed && !name.isEmpty())
            palette.setColor(QPalette::WindowText, kFailedColour);
        label->setPalette(palette);
        if (OpenedDirectly(side))
            direct << QString::fromStdU16String(GetFileNamePart(Database(side)));
    }
    m_LBLStatus->setText(direct.isEmpty() ? QString()
                                          : QString::fromStdString(FormatText(m_aMOpenedDirectly.toStdU16String(),
                                                                              direct.join(", ").toStdString())));
    // The last-run line belongs to the destination it ran into.
    ShowLastRun();
}

void CRowmoverDlg::OnRefresh()
{
    RefreshTableList();
}

bool CRowmoverDlg::PrepareDatabases(bool checkOnly)
{
    // A run's preparation makes room for the logs of the chosen tables.
    if (!checkOnly)
    {
        if (!m_pCopyEngine)
            CreateCopyEngine();
        m_pCopyEngine->Preparation().PlanLogs(ChosenTables(), m_bDoLogs ? ELogging::On : ELogging::Off);
    }
    const int result = PrepareEngine(checkOnly);
    ShowDatabases();
    if (result != Prepared)
        m_LISSourceTables->clear();
    // The server's reason (a wrong password, no server, a locked file) goes
    // with the message: the message alone cannot tell them apart.
    const QString reason = QString::fromStdString(LastAttachError());
    switch (result)
    {
    case Prepared:
        // A copy whose error file and pre-run copy leave the program folder
        // says where they went.
        if (!checkOnly && !m_sRunFilesNote.empty())
            m_LBLStatus->setText(QString::fromStdString(m_sRunFilesNote));
        return true;
    case SourceNotAttached: CMessageBox::ShowError(this, m_aMErrorConnectSource, m_aMError, reason); return false;
    case DestNotAttached: CMessageBox::ShowError(this, m_aMErrorConnectDest, m_aMError, reason); return false;
    case SameDatabase: CMessageBox::ShowError(this, m_aMIdentical, m_aMError); return false;
    case NoSpace: {
        CLanguageCatalog catalog;
        catalog.Open(m_sLanguageFile);
        CMessageBox::ShowError(this, QString::fromStdString(SpaceShortageText(*m_pCopyEngine, catalog)), m_aMError);
        return false;
    }
    // EngineBusy: the commands that get here are disabled during a run.
    default: return false;
    }
}

std::optional<SDatabaseCheck> CRowmoverDlg::WaitForDatabases(SDatabaseCheck check)
{
    // Off the window's thread: an unreachable host or a server that takes
    // its time keeps the window alive, and Cancel leaves it as it was.
    std::optional<SDatabaseCheck> done =
        WaitForWork<SDatabaseCheck>(this, m_aMAttaching, m_aMCancel, [check = std::move(check)]() mutable {
            RunDatabaseCheck(check);
            return check;
        });
    m_bWaitCancelled = !done;
    return done;
}

bool CRowmoverDlg::RefreshTableList()
{
    // The list of a running copy stays as it was chosen.
    if (IsCopyRunning())
        return true;
    std::optional<SDatabaseCheck> check = WaitForDatabases(MakeDatabaseCheck(true, true, true));
    if (!check)
        return false;
    // Read again, the list keeps the tables chosen and the one in focus.
    QStringList selected;
    for (const QTreeWidgetItem* item : m_LISSourceTables->selectedItems())
        selected << item->text(0);
    const QString current =
        m_LISSourceTables->currentItem() != nullptr ? m_LISSourceTables->currentItem()->text(0) : QString();
    m_LISSourceTables->clear();
    const int result = TakeDatabaseCheck(*check);
    ShowDatabases();
    const QString reason = QString::fromStdString(LastAttachError());
    switch (result)
    {
    case Prepared: break;
    case SourceNotAttached: CMessageBox::ShowError(this, m_aMErrorConnectSource, m_aMError, reason); return false;
    case DestNotAttached: CMessageBox::ShowError(this, m_aMErrorConnectDest, m_aMError, reason); return false;
    case SameDatabase: CMessageBox::ShowError(this, m_aMIdentical, m_aMError); return false;
    case NoSpace: {
        CLanguageCatalog catalog;
        catalog.Open(m_sLanguageFile);
        CMessageBox::ShowError(this, QString::fromStdString(SpaceShortageText(*m_pCopyEngine, catalog)), m_aMError);
        return false;
    }
    default: return false;
    }
    const std::vector<STableListRow>& rows = check->rows;
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
    for (QTreeWidgetItem* item : items)
    {
        if (item->text(0) == current)
            m_LISSourceTables->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        item->setSelected(selected.contains(item->text(0)));
    }
    update();
    return true;
}

void CRowmoverDlg::OnDropFiles(const QStringList& fullPaths)
{
    if (IsCopyRunning())
        return;
    std::vector<std::u16string> paths;
    for (const QString& path : fullPaths)
        paths.push_back(path.toStdU16String());
    const std::u16string prefix = m_bExtendDBName ? CDBSelectDlg::ServerPrefix().toStdU16String() : u"";
    const SDropTargets targets = DropTargets(paths, !m_sSourceDb.empty(), prefix);
    const std::u16string oldSource = m_sSourceDb;
    const std::u16string oldDest = m_sDestDb;
    std::vector<ESide> chosen;
    if (!targets.sSourceDb.empty())
    {
        SetDatabase(ESide::Source, targets.sSourceDb);
        chosen.push_back(ESide::Source);
    }
    if (!targets.sDestDb.empty())
    {
        SetDatabase(ESide::Dest, targets.sDestDb);
        chosen.push_back(ESide::Dest);
    }
    // A cancelled attach takes the drop back: the window is as it was.
    if (!chosen.empty() && !DatabasesChosen(chosen))
    {
        for (const ESide side : chosen)
            SetDatabase(side, side == ESide::Source ? oldSource : oldDest);
        ShowDatabases();
    }
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
