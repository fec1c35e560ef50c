#pragma once

#include "config/CAppSettings.h"
#include "core/CStringGrid.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFbConnection;
class CFontSettings;
class CSqlHighlighter;
class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
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

    bool IsAttached() const;
    // The table the last shown result came from (UTF-8), empty if unknown.
    const std::string& CurrentTableName() const { return m_sTableName; }
    // True when attaching at start failed and the dialog ends when shown.
    bool EndsAtStart() const { return m_bEndAtStart; }

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
    void FillTablesList();
    void OnTableClicked();
    bool RunStatement(const std::string& sql);
    void FillResultGrid();
    std::vector<int> SelectedRows() const;
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

    std::unique_ptr<CFbConnection> m_pConnection;
    CStringGrid m_gridColumns;
    CStringGrid m_gridRows;
    std::string m_sTableName;
    bool m_bEndAtStart = false;

    QString m_acMError;
    QString m_acMConnectionFailed;
    QString m_acMStatementFailed;
    QString m_sMSqlScript;
    QString m_sMCSVFile;

    QMenuBar* m_pMenuBar = nullptr;
    QWidget* m_STAPanel = nullptr;
    QLabel* m_LBLStatement = nullptr;
    QCheckBox* m_CHKMultiline = nullptr;
    QPlainTextEdit* m_EDTStatement = nullptr;
    QPushButton* m_BTNExecute = nullptr;
    QLabel* m_LBLTables = nullptr;
    QTreeWidget* m_LISTables = nullptr;
    QLabel* m_LBLResult = nullptr;
    QTreeWidget* m_LISResult = nullptr;
    QPushButton* m_BTNOk = nullptr;
    CSqlHighlighter* m_pHighlighter = nullptr;
};
