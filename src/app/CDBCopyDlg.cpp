#include "app/CDBCopyDlg.h"

#include "cli/RunMessageText.h"
#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "copy/run/CCopyEngine.h"
#include "copy/run/RunMessages.h"
#include "db/SqlText.h"
#include "ui/Artwork.h"
#include "ui/CDpiDC.h"
#include "ui/CFontSettings.h"
#include "ui/CMessageBox.h"
#include "ui/UiText.h"
#include "ui/WindowSizes.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
// The window's size in dialog units, the measure its layout was drawn in.
constexpr int kDesignWidthDlu = 347;
constexpr int kDesignHeightDlu = 117;
constexpr int kBarSteps = 1000;

// Pixels of a dialog-unit size in font: a horizontal unit is a quarter of
// the average letter width, a vertical unit an eighth of the line height.
QSize DialogUnitsToPixels(const QFont& font, int width, int height)
{
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int letterWidth = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    return {width * letterWidth / 4, height * metrics.height() / 8};
}
} // namespace

CDBCopyDlg::CDBCopyDlg() : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("CDBCopyDlg"));
    setWindowIcon(ProgramIcon());

    m_lblState = new QLabel(this);
    m_lblState->setObjectName(QStringLiteral("m_lblState"));
    // A long state line (rows, speed, time left, the stop) takes a second
    // line rather than widening the window while it runs.
    m_lblState->setWordWrap(true);
    m_lblTime = new QLabel(this);
    m_lblTime->setObjectName(QStringLiteral("m_lblTime"));
    m_lblTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_btnStop = new QPushButton(this);
    m_btnStop->setObjectName(QStringLiteral("m_btnStop"));
    // Return or Space must not stop a run by accident while the window has the focus.
    m_btnStop->setAutoDefault(false);
    m_btnStop->setFocusPolicy(Qt::TabFocus);
    connect(m_btnStop, &QPushButton::clicked, this, &CDBCopyDlg::OnStop);

    m_lstOutput = new QTreeWidget(this);
    m_lstOutput->setObjectName(QStringLiteral("m_lstOutput"));
    m_lstOutput->setColumnCount(1);
    m_lstOutput->setRootIsDecorated(false);
    m_lstOutput->setSelectionMode(QAbstractItemView::NoSelection);
    m_lstOutput->setFocusPolicy(Qt::NoFocus);
    m_lstOutput->header()->setSectionsClickable(false);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("m_progress"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);

    auto* top = new QHBoxLayout;
    top->addWidget(m_lblState, 1);
    top->addWidget(m_lblTime);
    top->addWidget(m_btnStop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_lstOutput, 1);
    layout->addWidget(m_progress);

    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &CDBCopyDlg::UpdateTime);
}

CDBCopyDlg::~CDBCopyDlg()
{
    m_bStop.store(true);
    if (m_worker.joinable())
        m_worker.join();
}

void CDBCopyDlg::Create(QWidget* parent, CFontSettings& fontSource)
{
    setParent(parent, windowFlags());
    m_pFontSource = &fontSource;

    const int size = CDpiDC(this).ScaleToScreen(kListImageDesignSize);
    m_imageList.clear();
    for (int image = 0; image < kListImageCount; ++image)
        m_imageList.emplace_back(ListImage(static_cast<EListImage>(image), size));
    m_lstOutput->setIconSize(QSize(size, size));

    m_pFontSource->ApplyTo(this, true);
    KeepWindowSize(this, DialogUnitsToPixels(font(), kDesignWidthDlu, kDesignHeightDlu));
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr)
        move(screen->availableGeometry().center() - rect().center());
}

void CDBCopyDlg::SetLanguageFile(const QString& languageFile)
{
    m_sLanguageFile = languageFile;
}

void CDBCopyDlg::Setup(const CCopyJob& job)
{
    if (m_bStarted)
        return;
    m_pTables = std::make_unique<CStringGrid>();
    if (job.m_pTables != nullptr)
        job.m_pTables->CopyTo(*m_pTables);
    m_tableNames.clear();
    for (int row = 0; row < m_pTables->RowCount(); ++row)
        m_tableNames.append(QString::fromStdString(m_pTables->GetCell(0, row)));
    m_pEngine = job.m_pEngine;
    m_sourceRows = job.m_sourceRows;
    m_eLogging = job.m_eLogging;
    m_bUnattended = job.m_bUnattended;

    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile.toStdU16String());
    setWindowTitle(UiText(catalog, ELanguageText::FrmCopy_Caption));
    m_lstOutput->setHeaderLabels({UiText(catalog, ELanguageText::FrmCopy_m_LISOutput)});
    m_btnStop->setText(UiText(catalog, ELanguageText::FrmCopy_m_BTNStop));
    m_acMCopyFailed = catalog.GetText(ELanguageText::FrmCopy_m_acMCopyFailed);
    m_acMCopySuccess = catalog.GetText(ELanguageText::FrmCopy_m_acMCopySuccess);
    m_acMCurrentTable = catalog.GetText(ELanguageText::FrmCopy_m_acMCurrentTable);
    m_acMVerifying = catalog.GetText(ELanguageText::FrmCopy_m_acMVerifying);
    m_acMError = catalog.GetText(ELanguageText::FrmCopy_m_acMError);
    m_acMStopping = catalog.GetText(ELanguageText::FrmCopy_m_acMStopping);
    m_acMAborting = catalog.GetText(ELanguageText::FrmCopy_m_acMAborting);
    m_acMAborted = catalog.GetText(ELanguageText::FrmCopy_m_acMAborted);
    m_acMStopped = catalog.GetText(ELanguageText::FrmCopy_m_acMStopped);
    m_acMTableAborted = catalog.GetText(ELanguageText::FrmCopy_m_acMTableAborted);
    m_acMFinished = catalog.GetText(ELanguageText::FrmCopy_m_acMFinished);
    m_acMFailedTables = catalog.GetText(ELanguageText::FrmCopy_m_acMFailedTables);
    m_sAbortText = UiText(catalog, ELanguageText::FrmCopy_m_BTNAbort);
    m_pProgressTexts = std::make_unique<SProgressTexts>(catalog);
    // Until the first table starts the run counts its rows (unless a check did).
    m_sState = m_sourceRows.empty() ? UiText(catalog, ELanguageText::FrmCopy_m_acMCounting) : QString();
    m_lblState->setText(m_sState);
    m_btnStop->setVisible(!m_bUnattended);
}

bool CDBCopyDlg::Start()
{
    if (m_bStarted || m_pTables == nullptr || m_pEngine == nullptr)
        return false;
    m_bStarted = true;
    m_bStop.store(false);
    m_tStart = std::chrono::steady_clock::now();
    UpdateTime();
    m_clock.start();

    // The bar shows the run's share done in thousandths.
    m_progress->setRange(0, kBarSteps);
    m_progress->setValue(0);
    m_nTablesStarted = 0;
    m_lstOutput->clear();

    const CCopyJob job{m_pTables.get(), m_pEngine, m_eLogging, m_bUnattended, m_sourceRows};
    m_worker = std::thread([this, job] {
        SCopyRunEvents events;
        events.tableStarted = [this](int index, int, const std::string&, int percent) {
            Report({SReport::Started, index, percent, false});
        };
        events.tableVerifying = [this](int index, const std::string&) {
            Report({SReport::Verifying, index, 0, false});
        };
        events.tableFinished = [this](int index, const std::string&, bool copied) {
            Report({SReport::Finished, index, 0, copied});
        };
        events.tableEnded = [this](int index, const STableOutcome& outcome) {
            Report({SReport::Outcome, index, 0, false, {}, outcome});
        };
        events.tableProgress = [this](int index, const SRowProgress& progress) {
            Report({SReport::Progress, index, 0, false, progress});
        };
        const SCopyRunResult result = RunCopyJob(job, m_bStop, events);
        m_workerResult = result;
        Report({SReport::Ended, 0, 0, false});
    });
    return true;
}

void CDBCopyDlg::Report(const SReport& report)
{
    // The call is posted while the lock is held, so that everything the
    // worker did before it is visible to DeliverReports, which takes the
    // lock first; reports that queue up meanwhile arrive together.
    const std::lock_guard<std::mutex> lock(m_reportLock);
    m_reports.push_back(report);
    if (m_reports.size() == 1)
        QMetaObject::invokeMethod(this, "DeliverReports", Qt::QueuedConnection);
}

void CDBCopyDlg::DeliverReports()
{
    std::vector<SReport> reports;
    {
        const std::lock_guard<std::mutex> lock(m_reportLock);
        reports.swap(m_reports);
    }
    for (const SReport& report : reports)
    {
        switch (report.kind)
        {
        case SReport::Started: OnTableStarted(report.index, report.percent); break;
        case SReport::Verifying:
            m_sState =
                QString::fromStdString(FormatText(m_acMVerifying, m_tableNames.value(report.index).toStdString()));
            ShowState();
            emit stateShown(m_sState);
            break;
        case SReport::Progress: OnProgress(report.index, report.progress); break;
        case SReport::Finished: OnTableFinished(report.index, report.copied); break;
        case SReport::Outcome: OnTableOutcome(report.index, report.outcome); break;
        case SReport::Ended: OnRunEnded(); break;
        }
    }
}

void CDBCopyDlg::OnStop()
{
    if (m_eStopState == EStopState::Stopping)
        OnAbort();
    else
        RequestStop();
}

void CDBCopyDlg::RequestStop()
{
    m_bStop.store(true);
    if (!IsRunning() || m_eStopState != EStopState::Running)
        return;
    // Said at once: the table in progress may take minutes yet.
    m_eStopState = EStopState::Stopping;
    m_btnStop->setText(m_sAbortText);
    ShowState();
}

void CDBCopyDlg::OnAbort()
{
    m_bStop.store(true);
    if (m_pEngine != nullptr && m_bStarted && !m_bFinished)
        m_pEngine->RequestAbort();
    if (!IsRunning() || m_eStopState == EStopState::Aborting)
        return;
    m_eStopState = EStopState::Aborting;
    m_btnStop->setEnabled(false);
    ShowState();
}

void CDBCopyDlg::ShowState()
{
    const std::string table = m_tableNames.value(m_nCurrentTable).toStdString();
    switch (m_eStopState)
    {
    case EStopState::Running: m_lblState->setText(m_sState); break;
    case EStopState::Stopping:
        m_lblState->setText(QString::fromStdString(FormatText(m_acMStopping, m_sState.toStdString())));
        break;
    case EStopState::Aborting:
        // Before the first table (while the rows are counted) there is no table to name.
        m_lblState->setText(m_nCurrentTable < 0 ? m_sState : QString::fromStdString(FormatText(m_acMAborting, table)));
        break;
    }
}

void CDBCopyDlg::OnProgress(int index, const SRowProgress& progress)
{
    m_progress->setValue(static_cast<int>(progress.runShare * kBarSteps));
    // After a table has ended its last numbers only move the bar.
    if (index != m_nCurrentTable || m_pProgressTexts == nullptr)
        return;
    m_sState =
        QString::fromStdString(RowProgressText(*m_pProgressTexts, m_tableNames.value(index).toStdString(), progress));
    ShowState();
    emit stateShown(m_sState);
}

void CDBCopyDlg::AddResultLine(const QString& text, EListImage image)
{
    auto* item = new QTreeWidgetItem(m_lstOutput);
    item->setText(0, text);
    if (static_cast<size_t>(image) < m_imageList.size())
        item->setIcon(0, m_imageList[static_cast<size_t>(image)]);
    m_lstOutput->scrollToItem(item);
}

bool CDBCopyDlg::WaitForEnd(int timeoutMs)
{
    if (m_bFinished || !m_bStarted)
        return m_bFinished;
    QEventLoop loop;
    connect(this, &CDBCopyDlg::finished, &loop, &QEventLoop::quit);
    if (timeoutMs >= 0)
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return m_bFinished;
}

QString CDBCopyDlg::FormatElapsed(long long seconds)
{
    return QString::asprintf("%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

void CDBCopyDlg::closeEvent(QCloseEvent* event)
{
    // The worker uses the engine and the table copy until it ends.
    if (IsRunning())
        event->ignore();
    else
        QWidget::closeEvent(event);
}

void CDBCopyDlg::OnTableStarted(int index, int percent)
{
    const QString table = m_tableNames.value(index);
    ++m_nTablesStarted;
    m_nCurrentTable = index;
    m_sState =
        QString::fromStdString(FormatText(m_acMCurrentTable, table.toStdString(), percent)) + QStringLiteral("%)");
    ShowState();
    emit tableStarted(index, table, percent);
}

void CDBCopyDlg::OnTableFinished(int index, bool copied)
{
    if (index >= 0 && static_cast<size_t>(index) >= m_copied.size())
        m_copied.resize(static_cast<size_t>(index) + 1, false);
    if (index >= 0)
        m_copied[static_cast<size_t>(index)] = copied;
}

void CDBCopyDlg::OnTableOutcome(int index, const STableOutcome& outcome)
{
    const QString table = m_tableNames.value(index);
    const bool copied =
        index >= 0 && static_cast<size_t>(index) < m_copied.size() && m_copied[static_cast<size_t>(index)];
    // Rolled back by an abort the table did not fail: the user ended it.
    if (!copied && outcome.status == ETableStatus::Stopped)
        AddResultLine(QString::fromStdString(FormatText(
                          m_acMTableAborted,
                          std::vector<std::string>{table.toStdString(), GroupedNumber(outcome.rowsRolledBack,
                                                                                      m_pProgressTexts->thousands)})),
                      EListImage::Warning);
    else
        AddResultLine(
            QString::fromStdString(FormatText(copied ? m_acMCopySuccess : m_acMCopyFailed, table.toStdString())),
            copied ? EListImage::Success : EListImage::Failure);
    emit tableFinished(index, table, copied);
}

QString CDBCopyDlg::FinalState(const SCopyRunResult& result) const
{
    if (result.aborted)
        return QString::fromStdString(FormatText(m_acMAborted, result.abortedTable));
    if (result.stopped)
        return QString::fromStdString(
            FormatText(m_acMStopped, std::vector<std::string>{result.stoppedAfter, std::to_string(result.notStarted)}));
    const std::string thousands = m_pProgressTexts ? m_pProgressTexts->thousands : std::string(",");
    return QString::fromStdString(
        FormatText(m_acMFinished, std::vector<std::string>{std::to_string(result.tablesRun - result.failedTables),
                                                           std::to_string(result.failedTables),
                                                           GroupedNumber(result.rowsCopied, thousands)}));
}

void CDBCopyDlg::OnRunEnded()
{
    // The worker posted this as its last act; joining waits only for its
    // return and makes its result visible here.
    if (m_worker.joinable())
        m_worker.join();
    const SCopyRunResult& result = m_workerResult;
    m_bStop.store(true);
    m_clock.stop();
    UpdateTime();
    m_tEnd = std::chrono::steady_clock::now();
    m_btnStop->setEnabled(false);
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile.toStdU16String());
    const std::vector<SRunMessage> messages = RunEndMessages(result, m_pEngine->Settings().dest.database, {});
    const auto endsRun = [](const SRunMessage& message) {
        return message.what == ERunMessage::Stopped || message.what == ERunMessage::Aborted ||
               message.what == ERunMessage::NotStarted;
    };
    for (const SRunMessage& message : messages)
        if (endsRun(message))
            AddResultLine(QString::fromStdString(RunMessageText(message, catalog)), EListImage::Warning);
    // The state line ends on where the run ended, not on its last table.
    if (result.started)
    {
        m_eStopState = EStopState::Running;
        m_sState = FinalState(result);
        ShowState();
        emit stateShown(m_sState);
    }
    QStringList triggersLeftOff;
    QString tablesFailed;
    for (const SRunMessage& message : messages)
    {
        if (endsRun(message))
            continue;
        const QString text = QString::fromStdString(RunMessageText(message, catalog));
        switch (message.what)
        {
        case ERunMessage::UnfinishedByKilledRun: AddResultLine(text, EListImage::Warning); break;
        case ERunMessage::LogsLost:
            // The rows arrived, but the record of them did not: said once.
            AddResultLine(text, EListImage::Failure);
            if (!m_bUnattended)
                CMessageBox::ShowError(this, text, QString::fromStdU16String(m_acMError));
            break;
        case ERunMessage::TriggersLeftOff:
            // Named with what to do, in the list and, for a user at the window, at once.
            AddResultLine(text, EListImage::Failure);
            triggersLeftOff << text;
            break;
        case ERunMessage::TablesFailed: tablesFailed = text; break;
        default: break; // told by the main window, or in the failure box below
        }
    }
    if (!triggersLeftOff.isEmpty() && !m_bUnattended)
        CMessageBox::ShowError(this, triggersLeftOff.join(QStringLiteral("\n\n")),
                               QString::fromStdU16String(m_acMError));
    // An abort or a stop is the user's own doing: the box is for failures.
    if (!tablesFailed.isEmpty() && !m_bUnattended)
        ShowFailedTables(result, tablesFailed);
    hide();
    m_bFinished = true;
    emit finished(result.started && result.allCopied, result.failedTables);
}

void CDBCopyDlg::ShowFailedTables(const SCopyRunResult& result, QString text)
{
    QStringList failed;
    for (const STableOutcome& outcome : result.tables)
        if (outcome.status == ETableStatus::Failed || outcome.status == ETableStatus::Skipped)
            failed << QString::fromStdString(outcome.table);
    for (const std::string& table : result.committedFromLimbo)
        if (!failed.contains(QString::fromStdString(table)))
            failed << QString::fromStdString(table);
    if (!failed.isEmpty())
        text += QStringLiteral("\n\n") +
                QString::fromStdString(FormatText(m_acMFailedTables, failed.join(QStringLiteral(", ")).toStdString()));
    CMessageBox::ShowError(this, text, QString::fromStdU16String(m_acMError));
}

long long CDBCopyDlg::ElapsedSeconds() const
{
    if (!m_bStarted)
        return 0;
    const auto end = m_bFinished ? m_tEnd : std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::seconds>(end - m_tStart).count();
}

void CDBCopyDlg::UpdateTime()
{
    m_lblTime->setText(FormatElapsed(ElapsedSeconds()));
}
