// The main window's copy command: the checks, the hand-over to the progress
// window, the log names of the run, and the triggers an interrupted copy
// left switched off.
#include "app/CRowmoverDlg.h"

#include "app/CCheckReportDlg.h"
#include "app/CDBCopyDlg.h"
#include "app/CRunResultsDlg.h"
#include "cli/CheckReportText.h"
#include "cli/LeftBehindText.h"
#include "cli/ProgressText.h"
#include "cli/RunMessageText.h"
#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "copy/run/CCopyEngine.h"
#include "copy/run/RunMessages.h"
#include "core/CStringGrid.h"
#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "db/SqlText.h"
#include "ui/CMessageBox.h"
#include "ui/UiText.h"
#include "ui/WaitForWork.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <set>

namespace
{
// "TABLE (database), ..." for the journal messages.
std::string ListEntries(const std::vector<CTriggerJournal::SEntry>& entries)
{
    std::string list;
    for (const CTriggerJournal::SEntry& entry : entries)
    {
        if (!list.empty())
            list += ", ";
        list += entry.table + " (" + entry.database + ")";
    }
    return list;
}
} // namespace

bool CRowmoverDlg::IsCopyRunning() const
{
    return (m_pCopyDlg && m_pCopyDlg->IsRunning()) || (m_pCopyEngine && m_pCopyEngine->IsRunActive());
}

std::vector<std::string> CRowmoverDlg::ChosenTables() const
{
    std::vector<std::string> tables;
    const bool allTables = m_CHKAllTables->isChecked();
    for (int row = 0; row < m_LISSourceTables->topLevelItemCount(); ++row)
    {
        const QTreeWidgetItem* item = m_LISSourceTables->topLevelItem(row);
        if (item->isSelected() || allTables)
            tables.push_back(item->text(0).toStdString());
    }
    return tables;
}

void CRowmoverDlg::OnCheck()
{
    // Only a test attachment: nothing is written, no log or backup made.
    if (IsCopyRunning() || !CheckCopyInput(false))
        return;
    CCheckReportDlg report(QString::fromStdU16String(m_sLanguageFile), *m_pFont, this);
    report.Start(m_pCopyEngine->Settings(), ChosenTables(),
                 m_pCopyEngine->FailedTables().Unfinished(m_pCopyEngine->DestinationKey()),
                 m_pCopyEngine->Journal().Entries(m_pCopyEngine->DestinationKey()));
    if (report.exec() == QDialog::Accepted && report.CopyChosen())
    {
        // The question names what the check found, and the run takes its row counts.
        m_pCheckBeforeCopy = &report.Report();
        OnCopy();
        m_pCheckBeforeCopy = nullptr;
    }
}

void CRowmoverDlg::OnCopy()
{
    // One run at a time: a second one would share the engine with the first.
    if (IsCopyRunning() || !CheckCopyInput(true))
        return;
    const ELogging logging = m_bDoLogs ? ELogging::On : ELogging::Off;

    CStringGrid tables;
    tables.SetSize(1, 0);
    std::vector<long long> sourceRows;
    for (const std::string& table : ChosenTables())
    {
        tables.SetCell(0, tables.RowCount(), table);
        tables.AddRows(1);
        sourceRows.push_back(-1);
        if (m_pCheckBeforeCopy == nullptr)
            continue;
        for (const STableCheck& check : m_pCheckBeforeCopy->tables)
        {
            if (check.table == table)
                sourceRows.back() = check.sourceRows;
        }
    }
    if (m_pCheckBeforeCopy == nullptr || !m_pCheckBeforeCopy->checked)
        sourceRows.clear();
    RestoreDestinationTriggers();
    // The copy goes on without them, but the way back must not be missing
    // unnoticed; the copies made in another way and the locks of killed
    // runs ended are said in the run log.
    if (!m_bSilent)
    {
        CLanguageCatalog catalog;
        catalog.Open(m_sLanguageFile);
        const SRunSettings& settings = m_pCopyEngine->Settings();
        if (m_bDoBackups && !m_pCopyEngine->Preparation().BackupMade())
            CMessageBox::ShowError(
                this,
                QString::fromStdString(
                    FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMBackupMissing), settings.files.sourceBackup)),
                m_aMError, QString::fromStdString(m_pCopyEngine->Preparation().SourceCopyError()));
        for (const std::string& text : KilledRunCopyTexts(m_pCopyEngine->Preparation().KilledRunCopies(), catalog))
            CMessageBox::ShowError(this, QString::fromStdString(text), m_aMError);
        if (settings.places.wayBack && !m_pCopyEngine->Preparation().DestinationCopyMade())
            CMessageBox::ShowError(
                this,
                QString::fromStdString(FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMDestCopyMissing),
                                                  settings.files.destinationCopy)),
                m_aMError, QString::fromStdString(m_pCopyEngine->Preparation().DestinationCopyError()));
    }

    // The previous window's worker has ended (no run is active), so it can go.
    m_pCopyDlg = std::make_unique<CDBCopyDlg>();
    CDBCopyDlg& dialog = *m_pCopyDlg;
    dialog.Create(this, *m_pFont);
    connect(&dialog, &CDBCopyDlg::finished, this, &CRowmoverDlg::OnCopyFinished);
    dialog.show();
    dialog.SetLanguageFile(QString::fromStdU16String(m_sLanguageFile));
    dialog.Setup(CCopyJob{&tables, m_pCopyEngine.get(), logging, m_bSilent, sourceRows});
    EnableRunCommands(false);
    if (!dialog.Start())
    {
        dialog.hide();
        EnableRunCommands(true);
        return;
    }
    StoreLogNames();
}

bool CRowmoverDlg::CheckCopyInput(bool forCopy)
{
    const auto refuse = [this](const QString& message, QWidget* focus) {
        if (!m_bSilent)
            CMessageBox::ShowError(this, message, m_aMError);
        if (focus != nullptr)
            focus->setFocus();
        return false;
    };
    if (m_sSourceDb.empty())
        return refuse(m_aMNoSource, m_EDTSourceDB);
    if (m_sDestDb.empty())
        return refuse(m_aMNoDest, m_EDTDestDB);
    // Compared exactly: names that differ in letter case may be two files.
    if (m_sSourceDb == m_sDestDb)
        return refuse(m_aMIdentical, nullptr);
    // A database that cannot be attached has said so; that its tables are
    // missing would blame the wrong thing.
    if (m_LISSourceTables->topLevelItemCount() == 0 && !RefreshTableList())
        return false;
    if (m_LISSourceTables->topLevelItemCount() == 0)
        return refuse(m_aMNoTables, nullptr);
    if (m_CHKAllTables->isChecked() || !m_LISSourceTables->selectedItems().isEmpty())
    {
        // Asked before the backups and logs are made: Cancel leaves nothing behind.
        if (forCopy && !ConfirmCopy())
            return false;
        return PrepareDatabases(!forCopy);
    }
    return refuse(m_aMNoSelection, m_LISSourceTables);
}

void CRowmoverDlg::StoreLogNames()
{
    std::string log;
    std::string sql;
    std::string text;
    log = m_pCopyEngine->Settings().files.runLog;
    sql = m_pCopyEngine->Settings().files.sqlLog;
    text = m_pCopyEngine->Settings().files.textLog;
    m_sLastLog = Utf8ToWide(log);
    m_sLastSqlLog = Utf8ToWide(sql);
    m_sLastTxtLog = Utf8ToWide(text);
}

void CRowmoverDlg::EnableRunCommands(bool enable)
{
    for (QPushButton* button : {m_BTNCheck, m_BTNCopy, m_BTNSourceDB, m_BTNDestDB, m_BTNRefresh})
        button->setEnabled(enable);
    // Commands that open a modal window would put it over the progress
    // window and keep STOP out of reach.
    for (const char* name : {"ID_MEN_SOURCE", "ID_MEN_DESTINATION", "ID_MEN_CHECK", "ID_MEN_COPY", "ID_MEN_EXIT",
                             "ID_MEN_REFRESH", "ID_MEN_SQLEDITOR", "ID_MEN_OPTIONS", "ID_MEN_LANGUAGE"})
        if (QAction* action = findChild<QAction*>(QString::fromLatin1(name)))
            action->setEnabled(enable);
    // A drop would choose databases and refresh the list through the engine.
    setAcceptDrops(enable);
}

void CRowmoverDlg::OnCopyFinished(bool allCopied, int failedTables)
{
    EnableRunCommands(true);
    const SCopyRunResult& result = m_pCopyDlg->RunResult();
    SLastRun* run = nullptr;
    if (result.started)
    {
        // Replaces what the last run into this destination left.
        run = &(m_lastRuns[m_sDestDb] = SLastRun{});
        run->result = result;
        for (const STableOutcome& outcome : result.tables)
            if (outcome.status == ETableStatus::Copied || outcome.status == ETableStatus::EmptySource)
                ++run->copied;
        run->seconds = m_pCopyDlg->ElapsedSeconds();
        run->runLog = m_sLastLog;
        run->sqlLog = m_sLastSqlLog;
        run->textLog = m_sLastTxtLog;
    }
    // The progress window has told how the run went; what is left to say
    // here is why it did not start, what it committed before it began, and
    // where the way back is.
    const SRunEnd end = EndRun(*m_pCopyEngine, result);
    if (run != nullptr)
        run->keptCopy = end.keptCopy;
    if (!m_bSilent)
        ShowRunEnd(end.messages);
    if (result.started)
        WriteRunSummary(*m_pCopyEngine, result, end.keptCopy);
    ShowLastRun();
    // The list shows the destination's generator values as the run left them.
    if (result.started && !m_bSilent)
        RefreshTableList();
    emit copyFinished(allCopied, failedTables);
}

void CRowmoverDlg::ShowRunEnd(const std::vector<SRunMessage>& messages)
{
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    // The failures first; the kept copy is news, not a failure of its own.
    for (const SRunMessage& message : messages)
    {
        if (message.what == ERunMessage::DestinationHeld || message.what == ERunMessage::JournalUnwritable ||
            message.what == ERunMessage::CommittedFromLimbo)
            CMessageBox::ShowError(this, QString::fromStdString(RunMessageText(message, catalog)), m_aMError);
    }
    for (const SRunMessage& message : messages)
    {
        if (message.what == ERunMessage::DestinationCopyKept)
            CMessageBox::ShowInfo(this, QString::fromStdString(RunMessageText(message, catalog)),
                                  QString::fromLatin1(kCaption));
    }
}

void CRowmoverDlg::OnInterrupt(int count)
{
    if (!IsCopyRunning())
    {
        OnExit();
        return;
    }
    if (count == 1 && m_pCopyDlg)
        m_pCopyDlg->RequestStop();
    else if (m_pCopyDlg)
        m_pCopyDlg->OnAbort();
    else
        m_pCopyEngine->RequestAbort();
}

void CRowmoverDlg::reject()
{
    if (IsCopyRunning())
        return;
    QDialog::reject();
}

void CRowmoverDlg::OfferLeftoverTriggers()
{
    CTriggerJournal journal = m_pCopyEngine->Journal();
    const std::vector<CTriggerJournal::SEntry> entries = journal.Entries();
    if (entries.empty())
        return;
    const QString question =
        QString::fromStdString(FormatText(m_aMTriggersLeftOff.toStdU16String(), ListEntries(entries)));
    if (CMessageBox::Ask(this, question, QString::fromLatin1(kCaption), QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::Yes) != QMessageBox::Yes)
        return;
    // The databases are not chosen yet: the default credentials are all there is.
    // Attaching them runs off the window's thread; after a cancel the work
    // goes on by itself (the journal keeps what is not yet restored).
    const CCopyEngine& engine = *m_pCopyEngine;
    std::optional<std::vector<CTriggerJournal::SEntry>> failed = WaitForWork<std::vector<CTriggerJournal::SEntry>>(
        this, m_aMAttaching, m_aMCancel,
        [journal, entries, user = engine.Preparation().DefaultUser(), password = engine.Preparation().DefaultPassword(),
         attempts = engine.Settings().attempts]() mutable {
            std::set<std::string> done;
            std::vector<CTriggerJournal::SEntry> notRestored;
            for (const CTriggerJournal::SEntry& entry : entries)
            {
                if (!done.insert(entry.database).second)
                    continue;
                RestoreJournalTriggers(journal, entry.database, user, password, attempts, &notRestored);
            }
            return notRestored;
        });
    if (!failed)
        return;
    ShowTriggersNotRestored(*failed);
}

void CRowmoverDlg::RestoreDestinationTriggers()
{
    // Tables outside this run would otherwise stay without their triggers.
    CCopyEngine& engine = *m_pCopyEngine;
    std::vector<CTriggerJournal::SEntry> failed;
    RestoreJournalTriggers(engine.Journal(), engine.Settings().dest.database, engine.Settings().dest.user,
                           engine.Settings().dest.password, engine.Settings().attempts, &failed);
    if (!m_bSilent)
        ShowTriggersNotRestored(failed);
}

void CRowmoverDlg::ShowTriggersNotRestored(const std::vector<CTriggerJournal::SEntry>& failed)
{
    if (failed.empty())
        return;
    CMessageBox::ShowError(
        this, QString::fromStdString(FormatText(m_aMTriggersNotRestored.toStdU16String(), ListEntries(failed))),
        m_aMError);
}

bool CRowmoverDlg::ConfirmCopy()
{
    if (m_bSilent || !m_bAskBeforeCopy)
        return true;
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    const std::vector<std::string> tables = ChosenTables();
    // Tables the check found cannot be copied keep their rows: they are not counted.
    std::vector<std::string> notCopied;
    const bool checked = m_pCheckBeforeCopy != nullptr && m_pCheckBeforeCopy->checked;
    if (checked)
        for (const STableCheck& check : m_pCheckBeforeCopy->tables)
            if (LeavesTableUncopied(check))
                notCopied.push_back(check.table);
    QString question = QString::fromStdString(
        FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMConfirmCopy),
                   std::vector<std::string>{std::to_string(tables.size() - std::min(tables.size(), notCopied.size())),
                                            WideToUtf8(m_sDestDb)}));
    if (!notCopied.empty())
        question += QStringLiteral("\n\n") +
                    QString::fromStdString(FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMConfirmNotCopied),
                                                      Joined(notCopied, ", ")));
    if (checked)
    {
        const std::vector<SCheckReportLine> lines = CheckReportLines(*m_pCheckBeforeCopy, catalog);
        if (!lines.empty())
            question += QStringLiteral("\n\n") + QString::fromStdString(lines.front().text);
    }
    const QString copy = UiText(catalog, ELanguageText::FrmMain_m_BTNCopy);
    const QString cancel = UiText(catalog, ELanguageText::FrmMain_m_aMCancel);
    return CMessageBox::Ask(this, question, QString::fromLatin1(kCaption), QMessageBox::Ok | QMessageBox::Cancel,
                            QMessageBox::Cancel,
                            {{QMessageBox::Ok, copy}, {QMessageBox::Cancel, cancel}}) == QMessageBox::Ok;
}

const CRowmoverDlg::SLastRun* CRowmoverDlg::LastRunHere() const
{
    const auto found = m_lastRuns.find(m_sDestDb);
    return found != m_lastRuns.end() ? &found->second : nullptr;
}

QString CRowmoverDlg::LastRunText(const SLastRun& run) const
{
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    const std::string thousands = WideToUtf8(catalog.GetText(ELanguageText::FrmCopy_m_acMThousands));
    const SCopyRunResult& result = run.result;
    std::string text =
        FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMLastRun),
                   std::vector<std::string>{std::to_string(run.copied), std::to_string(result.failedTables),
                                            GroupedNumber(result.rowsCopied, thousands),
                                            CDBCopyDlg::FormatElapsed(run.seconds).toStdString()});
    if (result.aborted)
        text += WideToUtf8(catalog.GetText(ELanguageText::FrmMain_m_aMLastRunAborted));
    else if (result.stopped)
        text += WideToUtf8(catalog.GetText(ELanguageText::FrmMain_m_aMLastRunStopped));
    if (!result.notStartedTables.empty())
        text += FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMLastRunNotStarted),
                           Joined(result.notStartedTables, ", "));
    return QString::fromStdString(text);
}

void CRowmoverDlg::ShowLastRun()
{
    // The line tells of the destination now chosen, or of nothing.
    const SLastRun* run = LastRunHere();
    if (run == nullptr)
    {
        m_LBLLastRun->clear();
        m_LBLLastRun->hide();
        return;
    }
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    QString line = LastRunText(*run).toHtmlEscaped() + QStringLiteral(" - <a href=\"results\">") +
                   UiText(catalog, ELanguageText::FrmMain_m_aMResults).toHtmlEscaped() + QStringLiteral("</a>");
    // A run without logs has no run log to open.
    if (!run->runLog.empty() && FileExists(run->runLog))
        line += QStringLiteral(" - <a href=\"log\">") +
                UiText(catalog, ELanguageText::FrmMain_m_aMRunLog).toHtmlEscaped() + QStringLiteral("</a>");
    m_LBLLastRun->setText(line);
    m_LBLLastRun->show();
}

void CRowmoverDlg::OnLastRunLink(const QString& link)
{
    if (link == QLatin1String("results"))
        OnRunResults();
    else if (const SLastRun* run = LastRunHere())
        ViewLogFile(run->runLog);
}

void CRowmoverDlg::OnRunResults()
{
    const SLastRun* run = LastRunHere();
    if (run == nullptr || IsCopyRunning())
        return;
    CRunResultsDlg results(QString::fromStdU16String(m_sLanguageFile), *m_pFont, LastRunText(*run), m_sDestDb,
                           run->result, {run->runLog, run->sqlLog, run->textLog, run->keptCopy}, this);
    connect(&results, &CRunResultsDlg::logRequested, this, &CRowmoverDlg::ViewLogFile);
    results.exec();
}
