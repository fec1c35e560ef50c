#pragma once

#include "config/CAppSettings.h"
#include "core/CStringGrid.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFbConnection;
class CFontSettings;
class CResultModel;
class CSqlHighlighter;
class CSqlSession;
class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QTreeView;
class QTreeWidget;
class QWidget;

// What the database selection edits in place and what it passes on, in the
// order the selection dialog takes them.
struct SSelectDatabaseArgs
{
    const std::u16string& languageFile;
    CFontSettings& font;
    std::u16string& database;
    std::u16string& user;
    std::u16string& password;
    bool showSqlEditorButton;
    const std::u16string& defaultUser;
    const std::u16string& defaultPassword;
    int retries;
    bool rememberRecent;
    CStringGrid& recentDatabases;
    bool extendNames;
    SWindowRect& windowRect;
};

// Runs the database selection modally over parent; true when the user
// confirmed (the texts in args then hold the choice).
using TSelectDatabase = std::function<bool(QWidget* parent, SSelectDatabaseArgs& args)>;
// Shows the help modally over parent.
using TShowHelp = std::function<void(QWidget* parent, const std::u16string& languageFile, CFontSettings& font)>;

// The SQL editor: attaches one database for its lifetime, lists its tables,
// runs the statements typed into its statement box (one per line, or the
// whole text as one with Multiline), shows result rows, writes ready-made
// record and table statements, loads and saves scripts and exports results.
// Statements run on the session's thread: while one runs the window stays
// alive, shows the time it has taken and offers Cancel (also Escape). A
// result shows its first page of rows at once; more come as the grid is
// scrolled to its end, or all of them with Fetch all.
class CDBSQLDlg : public QDialog
{
    Q_OBJECT

  public:
    // table: shown at start when not empty. windowRect: restored at start,
    // stored when the window is closed by its close box (0, 0, -1, -1 for
    // maximised). askForDatabase: run the selection first instead of
    // attaching database.
    CDBSQLDlg(const std::u16string& languageFile, CFontSettings& font, const std::u16string& database,
              const std::u16string& user, const std::u16string& password, const std::u16string& table,
              const std::u16string& defaultUser, const std::u16string& defaultPassword, int retries,
              bool rememberRecent, CStringGrid& recentDatabases, bool extendNames, SWindowRect& windowRect,
              bool askForDatabase, QWidget* parent = nullptr);
    ~CDBSQLDlg() override;

    // Where Select database and Help go; the program sets them once at
    // start, tests set their own. Without a selection Select does nothing;
    // without a help hook Help shows the program's help dialog.
    static void SetSelectDatabase(TSelectDatabase selectDatabase);
    static void SetShowHelp(TShowHelp showHelp);

    // Rows a result shows at once, and that each scroll to its end adds.
    static constexpr int kPageRows = 1000;

    bool IsAttached() const;
    // True while a statement, a page of rows or an export is on its way.
    bool IsBusy() const { return m_bBusy; }
    // The table the last shown result came from (UTF-8), empty if unknown.
    const std::string& CurrentTableName() const { return m_sTableName; }
    // True when attaching at start failed and the dialog ends when shown.
    bool EndsAtStart() const { return m_bEndAtStart; }
    CResultModel* ResultModel() const { return m_pResultModel; }

  public slots:
    void OnExecute();
    void OnRefreshTables();
    void OnSelectDatabase();
    void OnHelp();
    void OnExit();
    void OnDeleteRecord();
    void OnModifyRecord();
    void OnInsertRecord();
    void OnDeleteTable();
    void OnInsertTable();
    void OnSystemTable();
    void OnOpenScript();
    void OnSaveScript();
    void OnExportResults();
    // Stops what runs; the statement's transaction stays usable.
    void OnCancel();
    // Fetches every row of the result that is not shown yet.
    void OnFetchAll();
    // Escape: cancels while busy, else closes like OK.
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void CreateControls();
    void CreateMenu();
    void SetTexts();
    void ApplyFonts();
    void RestorePosition();
    void AttachAtStart(const std::u16string& table);
    // Attaches database off the window's thread (with the wait window);
    // on success the new attachment replaces the old one and the tables
    // list is filled. Attached, failed (said) or cancelled (nothing changed).
    enum class EAttach
    {
        Attached,
        Failed,
        Cancelled,
    };
    EAttach Attach(const std::u16string& database, const std::u16string& user, const std::u16string& password);
    void FillTablesList(CStringGrid& relations);
    void OnTableClicked();
    // The busy state: what runs, since when, and Cancel.
    void BeginBusy(const QString& format);
    void EndBusy();
    void ShowElapsed();
    void ShowStatus(const QString& text);
    void ShowResultStatus(bool stoppedAtEmptyLine);
    // Columns as wide as their values, each within half the grid.
    void FitResultColumns();
    // A count grouped as everywhere else ("2,500").
    QString Count(long long number) const;
    void RequestRows(int rows);
    void ExportQuery(const QString& path);
    // Runs what the last line-mode or Multiline Execute asked for.
    void RunStatements(std::vector<std::string> statements, bool stoppedAtEmptyLine);
    std::vector<int> SelectedRows() const;
    // Asks the session for the current table's key fields and hands them to
    // use on the window's thread.
    void WithKeyFields(std::function<void(bool ok, CStringGrid& keyGrid)> use);
    void SayWhatRecordsCover();
    void SetStatement(const std::string& text, bool multiline);
    QAction* AddAction(QMenu* menu, const char* objectName, const QKeySequence& shortcut, void (CDBSQLDlg::*slot)());

    std::u16string m_sLanguageFile;
    CFontSettings* m_pFont;
    std::u16string m_sDatabase;
    std::u16string m_sUser;
    std::u16string m_sPassword;
    std::u16string m_sDefUser;
    std::u16string m_sDefPass;
    int m_nRetries;
    bool m_bRecentDBs;
    CStringGrid* m_pRecentDBs;
    bool m_bExtendDBName;
    SWindowRect* m_pWindowRect;

    std::unique_ptr<CSqlSession> m_pSession;
    CStringGrid m_gridColumns;
    std::string m_sTableName;
    // The statement the shown result came from, and whether it has a cursor
    // (the export runs it again); empty for none.
    std::string m_sResultSql;
    bool m_bResultCursor = false;
    bool m_bEndAtStart = false;
    bool m_bBusy = false;
    bool m_bCancelRequested = false;
    QString m_sBusyFormat;
    QElapsedTimer m_busyClock;
    QTimer* m_pBusyTimer = nullptr;

    QString m_acMError;
    QString m_acMConnectionFailed;
    QString m_acMStatementFailed;
    QString m_sMSqlScript;
    QString m_sMCSVFile;
    QString m_sMExecuting;
    QString m_sMFetching;
    QString m_sMFetchingRows;
    QString m_sThousands;
    QString m_sMRowsAll;
    QString m_sMRowsMore;
    QString m_sMDone;
    QString m_sMCancelled;
    QString m_sMEmptyLine;
    QString m_sMNotAttached;
    QString m_sMAttaching;
    QString m_sMExporting;
    QString m_sMExported;
    QString m_sMExportFailed;
    QString m_sMSaveFailed;
    QString m_sMPartial;

    QMenuBar* m_pMenuBar = nullptr;
    QWidget* m_STAPanel = nullptr;
    QLabel* m_LBLStatement = nullptr;
    QCheckBox* m_CHKMultiline = nullptr;
    QPlainTextEdit* m_EDTStatement = nullptr;
    QPushButton* m_BTNExecute = nullptr;
    QLabel* m_LBLTables = nullptr;
    QTreeWidget* m_LISTables = nullptr;
    QLabel* m_LBLResult = nullptr;
    QTreeView* m_LISResult = nullptr;
    CResultModel* m_pResultModel = nullptr;
    QLabel* m_LBLStatus = nullptr;
    QPushButton* m_BTNFetchAll = nullptr;
    QPushButton* m_BTNCancel = nullptr;
    QPushButton* m_BTNOk = nullptr;
    CSqlHighlighter* m_pHighlighter = nullptr;
};
