#pragma once

#include "sqleditor/CDBSQLDlg.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Names one database with its user and password: typed, picked from the
// recently used databases or chosen with a file dialog. It never touches the
// database; it edits the caller's texts, which receive the boxes' contents
// when the dialog closes by OK, and its recent list, which is written back
// on every close.
class CDBSelectDlg : public QDialog
{
    Q_OBJECT

  public:
    static constexpr int kRecentLoaded = 25;
    // Rows written back: one more than loaded, the caller's scratch row.
    static constexpr int kRecentWritten = 26;
    static constexpr const char16_t* kDefaultUser = u"SYSDBA";
    static constexpr const char16_t* kDefaultPassword = u"velvetoak";
    static constexpr const char* kDefaultExtension = "gdb";

    // Which database the dialog chooses; its caption says so.
    enum class ERole
    {
        Any,
        Source,
        Destination,
    };

    // With an empty database in args the file dialog is shown before the
    // dialog itself.
    explicit CDBSelectDlg(SSelectDatabaseArgs& args, QWidget* parent = nullptr, ERole role = ERole::Any);
    ~CDBSelectDlg() override;

    // Runs the dialog modally over parent; true after OK. This is what the
    // SQL editor and the main window use to ask for a database.
    static bool Run(QWidget* parent, SSelectDatabaseArgs& args);
    // Run, with a caption naming the database chosen.
    static bool RunFor(QWidget* parent, SSelectDatabaseArgs& args, ERole role);

    // What the file dialog's path becomes with "extend database names":
    // ServerPrefix() in front; in a Windows path ("C:\...") every backslash
    // doubled. On this system a backslash is an ordinary character of a
    // file name and stays single.
    static QString ExtendedDatabaseName(const QString& path);
    // The server part that "extend database names" puts in front of a file:
    // "localhost:", the Firebird server on this computer at its usual port.
    static QString ServerPrefix();
    // Another server part, such as "localhost/3051:" for a server at another
    // port; empty restores "localhost:".
    static void SetServerPrefix(const QString& prefix);

    void done(int result) override;

  public slots:
    void OnBrowse();
    void OnSqlEditor();

  private:
    void CreateControls();
    void BuildLayout();
    void SetTexts();
    void FitSidePicture();
    void LoadRecent();
    void OnRecentChosen(int index);
    // Browse when the database box is empty; false (with the message) when
    // a box is still empty.
    bool Validate();
    void WriteBack(bool confirmed);

    SSelectDatabaseArgs& m_args;
    ERole m_eRole = ERole::Any;
    QString m_sDatabase;
    QString m_sUser;
    QString m_sPassword;
    QString m_sMOpenDialog;
    QString m_sMError;
    QString m_sMInvalidInput;

    QWidget* m_PICPanel = nullptr;
    QLabel* m_PICDatabase = nullptr;
    QLabel* m_LBLDBName = nullptr;
    QComboBox* m_CMBDBName = nullptr;
    QPushButton* m_BTNBrowse = nullptr;
    QLabel* m_LBLDBUser = nullptr;
    QLineEdit* m_EDTDBUser = nullptr;
    QLabel* m_LBLDBPass = nullptr;
    QLineEdit* m_EDTDBPass = nullptr;
    QPushButton* m_BTNSQLEditor = nullptr;
    QPushButton* m_BTNOk = nullptr;
    QPushButton* m_BTNCancel = nullptr;
};
