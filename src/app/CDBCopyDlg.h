#pragma once

#include "cli/ProgressText.h"
#include "copy/run/CCopyJob.h"
#include "copy/run/CCopyRun.h"
#include "core/CStringGrid.h"

#include <QIcon>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/Artwork.h"

class CFontSettings;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// The progress window of one copy run: the table in progress with its rows
// done, speed and time left, a bar for the whole run weighted by row counts,
// one result line per finished table, the elapsed time and a Stop button
// that takes effect between tables and, once pressed, offers to abort the
// table in progress. The copy runs on a worker thread; everything it reports
// reaches the widgets through queued calls, as numbers. The window has no
// close box: only the end of the run hides it.
class CDBCopyDlg : public QWidget
{
    Q_OBJECT

  public:
    CDBCopyDlg();
    // Waits for a running worker (asking it to stop first), so no thread
    // outlives the window.
    ~CDBCopyDlg() override;
    CDBCopyDlg(const CDBCopyDlg&) = delete;
    CDBCopyDlg& operator=(const CDBCopyDlg&) = delete;

    // Makes the window a child window of parent with the shared font and
    // centres it on the screen.
    void Create(QWidget* parent, CFontSettings& fontSource);
    // The language file of the texts; empty for English.
    void SetLanguageFile(const QString& languageFile);
    // Takes a copy of the job's tables, its engine (not owned), run mode and
    // unattended flag, and applies the texts. Ignored once started.
    void Setup(const CCopyJob& job);
    // Starts the clock and the worker and returns at once; false when there
    // is no job or the window has run already (a window serves one run).
    bool Start();
    // The Stop button: the run ends after the table in progress (RequestStop);
    // pressed again, it aborts that table (OnAbort).
    void OnStop();
    // The run ends after the table in progress; the button then offers the abort.
    void RequestStop();
    // Ends the table in progress at once: cancelled at the server, its rows
    // rolled back, its triggers on again; the run ends with it.
    void OnAbort();

    bool IsRunning() const { return m_bStarted && !m_bFinished; }
    bool IsFinished() const { return m_bFinished; }
    // Runs the event loop until the run has ended (summary box closed,
    // window hidden) or timeoutMs have passed (a negative timeout waits as
    // long as it takes); true when it has ended.
    bool WaitForEnd(int timeoutMs);
    // What the run did; meaningful once finished.
    const SCopyRunResult& RunResult() const { return m_workerResult; }

    // Seconds since the start; at the end, the run's duration.
    long long ElapsedSeconds() const;

    // "%02d:%02d:%02d" of a duration in whole seconds.
    static QString FormatElapsed(long long seconds);

  signals:
    // On the window's thread, after the state line shows the table.
    void tableStarted(int index, const QString& table, int percent);
    // On the window's thread, after the table's result line was added.
    void tableFinished(int index, const QString& table, bool copied);
    // On the window's thread, after the state line shows the rows of the
    // table in progress (or that it is verified).
    void stateShown(const QString& state);
    // The run has ended and the window is hidden; allCopied is false also
    // when the engine refused the run because another one held it.
    void finished(bool allCopied, int failedTables);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // What the worker tells the window; the names are in m_tableNames, an
    // ended table brings its outcome.
    struct SReport
    {
        enum EKind
        {
            Started,
            Verifying,
            Progress,
            Finished,
            Outcome,
            Ended,
        } kind;
        int index;
        int percent;
        bool copied;
        SRowProgress progress{};
        STableOutcome outcome{};
    };
    enum class EStopState
    {
        Running,
        Stopping,
        Aborting,
    };

    // On the worker: queues a report and posts its delivery to the window.
    void Report(const SReport& report);
    // On the window's thread: applies the queued reports in order.
    Q_INVOKABLE void DeliverReports();
    void OnTableStarted(int index, int percent);
    void OnTableFinished(int index, bool copied);
    void OnTableOutcome(int index, const STableOutcome& outcome);
    // The line that ends the run: stopped, aborted, or what it copied.
    QString FinalState(const SCopyRunResult& result) const;
    // The box that names the tables that failed, under the text that counts them.
    void ShowFailedTables(const SCopyRunResult& result, QString text);
    void OnProgress(int index, const SRowProgress& progress);
    // The state line: the table's text, and what a stop request changes.
    void ShowState();
    void AddResultLine(const QString& text, EListImage image);
    void OnRunEnded();
    void UpdateTime();

    QLabel* m_lblState = nullptr;
    QLabel* m_lblTime = nullptr;
    QPushButton* m_btnStop = nullptr;
    QTreeWidget* m_lstOutput = nullptr;
    QProgressBar* m_progress = nullptr;

    std::vector<QIcon> m_imageList;
    ELogging m_eLogging = ELogging::On;
    int m_nTablesStarted = 0;
    std::unique_ptr<CStringGrid> m_pTables;
    // The tables' names for the window, so that no text crosses threads.
    QStringList m_tableNames;
    CCopyEngine* m_pEngine = nullptr;
    CFontSettings* m_pFontSource = nullptr;
    std::atomic<bool> m_bStop{false};
    bool m_bUnattended = false;
    QString m_sLanguageFile;
    std::u16string m_acMCopyFailed;
    std::u16string m_acMCopySuccess;
    std::u16string m_acMCurrentTable;
    std::u16string m_acMVerifying;
    std::u16string m_acMError;
    std::u16string m_acMStopping;
    std::u16string m_acMAborting;
    std::u16string m_acMAborted;
    std::u16string m_acMStopped;
    std::u16string m_acMTableAborted;
    std::u16string m_acMFinished;
    std::u16string m_acMFailedTables;
    QString m_sAbortText;
    std::unique_ptr<SProgressTexts> m_pProgressTexts;
    // What the state line says of the table in progress, and its name.
    QString m_sState;
    int m_nCurrentTable = -1;
    EStopState m_eStopState = EStopState::Running;
    std::vector<long long> m_sourceRows;
    // RunTable's answer for each table, until its outcome arrives.
    std::vector<bool> m_copied;
    std::chrono::steady_clock::time_point m_tStart;
    std::chrono::steady_clock::time_point m_tEnd;

    QTimer m_clock;
    std::thread m_worker;
    std::mutex m_reportLock;
    std::vector<SReport> m_reports;
    bool m_bStarted = false;
    bool m_bFinished = false;
    // Written by the worker, read after it has been joined.
    SCopyRunResult m_workerResult;
};
