#pragma once

#include "core/ProgramVersion.h"

#include "app/CRowmoverState.h"
#include "config/LanguageTexts.h"
#include "copy/check/CopyCheck.h"
#include "copy/run/CCopyRun.h"
#include "copy/safety/CTriggerJournal.h"

#include <QDialog>
#include <QKeySequence>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct SRunMessage;
class CDBCopyDlg;
class CFontSettings;
class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QTreeWidget;

// The main window: the source and destination databases, the tables present
// in both with the destination's triggers, and the copy button. Its state
// (settings, databases, copy engine) is the CRowmoverState it is made of.
// Settings are saved only when the window's close box ends it; Exit and
// Escape end it without saving.
class CRowmoverDlg : public QDialog, public CRowmoverState
{
    Q_OBJECT

  public:
    static constexpr const char* kCaption = "Rowmover";
    // The maker's update page; the update check adds the program's language
    // and version as query keys.
    static constexpr const char* kUpdatePage = "https://www.quenstead.com/rowmover/update";
    static constexpr int kNameColumnWidth = 250;
    static constexpr int kTriggerColumnWidth = 300;

    // programFile: the running program file; arguments: the command line
    // with the program's own name first. Runs the whole start: folders,
    // language, settings, copy engine.
    CRowmoverDlg(const std::string& programFile, const std::vector<std::string>& arguments, QWidget* parent = nullptr);
    ~CRowmoverDlg() override;

    // Takes over the texts of a language file (empty: English).
    void ApplyTexts(const std::u16string& languageFilePath);
    // Empties the table list and fills it again from both databases; false
    // when a database could not be attached (which it has shown).
    bool RefreshTableList();
    // Hands both databases to the copy engine; shows why when one cannot be
    // attached. True when both were prepared.
    bool PrepareDatabases(bool checkOnly);
    // Files dropped on the window, as full paths in drop order. Ignored
    // while a copy runs.
    void OnDropFiles(const QStringList& fullPaths);
    // The checks before a run, ending with its preparation; shows why a run
    // cannot start (the check messages only when not silent). True when a
    // run may start.
    // forCopy prepares the run (logs, backups); otherwise only attaches.
    bool CheckCopyInput(bool forCopy);
    // The tables the list says to copy, in its order.
    std::vector<std::string> ChosenTables() const;
    // The engine's three log paths become the paths the View menu shows.
    void StoreLogNames();
    // True from the start of a copy until its progress window has finished.
    bool IsCopyRunning() const;
    // The progress window of the last run started; nothing before the first.
    CDBCopyDlg* CopyDialog() const { return m_pCopyDlg.get(); }

    CFontSettings& FontSettings() { return *m_pFont; }

    // Opens the results of the last run into the chosen destination.
    void OnRunResults();

  public slots:
    void OnBrowseSource();
    void OnBrowseDest();
    void OnRefresh();
    void OnCopy();
    // Shows what a copy of the chosen tables would do, writing nothing; the
    // report's Copy starts that copy.
    void OnCheck();
    void OnSelectAll();
    void OnInvertSelection();
    void OnTableDblClick();
    void OnViewSqlLog();
    void OnViewTxtLog();
    void OnViewLog();
    void OnSqlEditor();
    void OnOptions();
    void OnLanguage();
    void OnHelp();
    void OnLicense();
    void OnReadMe();
    void OnCheckUpdate();
    void OnInfo();
    void OnExit();
    // SIGINT or SIGTERM (count: how many so far): the first stops a running
    // copy after its table, or ends the window like Exit; the next aborts
    // the table in progress.
    void OnInterrupt(int count);

    // Escape: ends the window like Exit, except while a copy runs.
    void reject() override;

  signals:
    // A copy started by OnCopy has ended and the commands are enabled again.
    void copyFinished(bool allCopied, int failedTables);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Adds a menu entry named objectName whose text follows the language.
    QAction* AddMenuAction(QMenu* menu, const char* objectName, ELanguageText text, const QKeySequence& shortcut,
                           void (CRowmoverDlg::*slot)());
    QMenu* AddMenu(const char* objectName, ELanguageText text);

    QMenuBar* m_pMenuBar = nullptr;
    QMenu* m_MENFile = nullptr;
    QMenu* m_MENTables = nullptr;
    QMenu* m_MENView = nullptr;
    QMenu* m_MENHelp = nullptr;

    QFrame* m_PICPanel = nullptr;
    QLabel* m_LBLSourceDB = nullptr;
    QLabel* m_PICSourceDB = nullptr;
    QLineEdit* m_EDTSourceDB = nullptr;
    QPushButton* m_BTNSourceDB = nullptr;
    QLabel* m_LBLDestDB = nullptr;
    QLabel* m_PICDestDB = nullptr;
    QLineEdit* m_EDTDestDB = nullptr;
    QPushButton* m_BTNDestDB = nullptr;
    QLabel* m_LBLTables = nullptr;
    QCheckBox* m_CHKAllTables = nullptr;
    QPushButton* m_BTNRefresh = nullptr;
    QTreeWidget* m_LISSourceTables = nullptr;
    // One line on how the databases are reached when that is not as chosen.
    QLabel* m_LBLStatus = nullptr;
    QPushButton* m_BTNCheck = nullptr;
    QPushButton* m_BTNCopy = nullptr;
    // The outcome of the last run, with a link to its run log.
    QLabel* m_LBLLastRun = nullptr;

    QString m_aMError;
    QString m_aMNoSource;
    QString m_aMNoDest;
    QString m_aMIdentical;
    QString m_aMNoTables;
    QString m_aMNoSelection;
    QString m_aMErrorConnectSource;
    QString m_aMErrorConnectDest;
    QString m_aMBtnOk;
    QString m_aMTriggersLeftOff;
    QString m_aMTriggersNotRestored;
    QString m_aMOpenedDirectly;
    QString m_aMAttaching;
    QString m_aMCancel;

  private:
    void CreateControls();
    void CreateMenu();
    void BuildLayout();
    void RemoveMissingHelpTexts();
    void FitSidePictures();
    void SetListImageSize();
    void SetTabOrder();
    // The size and place of the last session, from m_rcMain.
    void RestoreWindowPosition();
    void StoreWindowPosition();
    // The selection dialog for one side; a confirmed choice is checked.
    void BrowseDatabase(ESide side);
    // After new names for sides: with both databases named the list is read
    // again, otherwise it goes and each named side of sides is attached
    // once. False when the user cancelled the wait for an attach (the list
    // then stays as it was).
    bool DatabasesChosen(const std::vector<ESide>& sides);
    // The database boxes show the names in use, their labels whether the
    // last attach failed, the status line what is opened directly.
    void ShowDatabases();
    // Runs check on its own thread behind the wait window; nothing when the
    // user cancelled.
    std::optional<SDatabaseCheck> WaitForDatabases(SDatabaseCheck check);
    bool IsMenuShortcut(const QKeyEvent* event) const;
    void ViewLogFile(const std::u16string& path);
    // Disables what would touch the engine or end the window while a copy runs.
    void EnableRunCommands(bool enable);
    void OnCopyFinished(bool allCopied, int failedTables);
    // The messages of a run's end that the main window tells, in boxes.
    void ShowRunEnd(const std::vector<SRunMessage>& messages);
    // At start: offers to switch on the triggers an interrupted copy left off.
    void OfferLeftoverTriggers();
    // Before a run: switches on the destination's leftover triggers with the
    // run's credentials.
    void RestoreDestinationTriggers();
    void ShowTriggersNotRestored(const std::vector<CTriggerJournal::SEntry>& failed);
    // Before a copy that replaces rows: names the destination and the
    // tables (with the check's summary when a check came first); true to go on.
    bool ConfirmCopy();
    void ShowLastRun();

    // A finished run, kept for its destination until the next run into it.
    struct SLastRun
    {
        SCopyRunResult result;
        int copied = 0;
        long long seconds = 0;
        std::u16string runLog, sqlLog, textLog;
        std::string keptCopy;
    };
    // The last run into the destination now chosen; null when none.
    const SLastRun* LastRunHere() const;
    // The last-run line's text without its links.
    QString LastRunText(const SLastRun& run) const;
    void OnLastRunLink(const QString& link);

    std::unique_ptr<CFontSettings> m_pFont;
    // The menu entries and menus with the text each one takes from the language.
    std::vector<std::pair<QPointer<QAction>, ELanguageText>> m_menuTexts;
    int m_nImageSize = 20;
    // The last wait for an attach was cancelled.
    bool m_bWaitCancelled = false;
    // The progress window of the last run; the previous one goes when the
    // next run starts, its worker having ended.
    std::unique_ptr<CDBCopyDlg> m_pCopyDlg;
    std::map<std::u16string, SLastRun> m_lastRuns;
    // The report of the check whose Copy started the copy in progress of starting.
    const SCheckReport* m_pCheckBeforeCopy = nullptr;
};
