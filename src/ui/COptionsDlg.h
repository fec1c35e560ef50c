#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <string>

class CFontSettings;
class CStringGrid;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Edits the application settings in place: OK writes every value back, Cancel
// leaves them as they were, except that Clear empties the recent-database
// list at once. The font is changed on a working copy until OK.
class COptionsDlg : public QDialog
{
    Q_OBJECT

  public:
    static constexpr int kDefaultRetries = 10;
    static constexpr int kMinRetries = 1;
    static constexpr int kMaxRetries = 1000;
    static constexpr int kRecentCount = 25;
    static constexpr const char16_t* kDefaultUser = u"SYSDBA";
    static constexpr const char16_t* kDefaultPassword = u"velvetoak";
    static constexpr const char* kResetFontText = "<";

    COptionsDlg(const QString& languageFile, CFontSettings& font, bool& doBackups, bool& doLogs,
                std::u16string& defUser, std::u16string& defPass, int& retries, bool& recentDBs,
                CStringGrid& recentList, bool& extendDBName, std::u16string& sourceCharset, bool& verify,
                QWidget* parent = nullptr);
    ~COptionsDlg() override;

    // The retry count typed as text: its leading decimal integer (0 when it
    // has none), replaced by kDefaultRetries outside kMinRetries..kMaxRetries.
    static int RetriesFromText(const QString& text);

    void accept() override;
    void reject() override;

    // Lets the dialog edit whether a copy asks before it replaces rows.
    void EditAskBeforeCopy(bool& askBeforeCopy);

    // Lets the dialog edit whether a run copies the destination first, and
    // where backups and logs go (empty: the usual places).
    void EditCopyPlaces(bool& wayBack, std::u16string& backupDir, std::u16string& logDir);

    // The font being edited; nothing once the dialog has closed.
    const CFontSettings* WorkingFont() const { return m_pWorkFont.get(); }

  private:
    void SetTexts(const QString& languageFile);
    void BuildLayout();
    void OnFont();
    void OnResetFont();
    void OnClearRecent();
    void ApplyWorkingFont();

    CFontSettings& m_font;
    bool& m_bDoBackups;
    bool& m_bDoLogs;
    std::u16string& m_sDefUser;
    std::u16string& m_sDefPass;
    int& m_nRetries;
    bool& m_bRecentDBs;
    CStringGrid& m_RecentDBs;
    bool& m_bExtendDBName;
    std::u16string& m_sSourceCharset;
    bool& m_bVerify;
    bool* m_pAskBeforeCopy = nullptr;
    bool* m_pWayBack = nullptr;
    std::u16string* m_pBackupDir = nullptr;
    std::u16string* m_pLogDir = nullptr;

    // Holds the font the dialogs are designed with, so that rebuilding the
    // working copy starts from it and not from the font the user chose.
    std::unique_ptr<QWidget> m_pTemplateFontOwner;
    std::unique_ptr<CFontSettings> m_pWorkFont;

    QCheckBox* m_CHKDoBackups = nullptr;
    QCheckBox* m_CHKDoLogs = nullptr;
    QCheckBox* m_CHKVerify = nullptr;
    QCheckBox* m_CHKAskBeforeCopy = nullptr;
    QCheckBox* m_CHKWayBack = nullptr;
    QLabel* m_LBLBackupDir = nullptr;
    QLineEdit* m_EDTBackupDir = nullptr;
    QLabel* m_LBLLogDir = nullptr;
    QLineEdit* m_EDTLogDir = nullptr;
    QLabel* m_LBLDefUser = nullptr;
    QLineEdit* m_EDTDefUser = nullptr;
    QLabel* m_LBLDefPass = nullptr;
    QLineEdit* m_EDTDefPass = nullptr;
    QLabel* m_LBLRetries = nullptr;
    QLineEdit* m_EDTRetries = nullptr;
    QCheckBox* m_CHKRecentDBs = nullptr;
    QPushButton* m_BTNRecentDBs = nullptr;
    QCheckBox* m_CHKExtendDBName = nullptr;
    QLabel* m_LBLSourceCharset = nullptr;
    QComboBox* m_CBOSourceCharset = nullptr;
    QLabel* m_LBLFont = nullptr;
    QPushButton* m_BTNFont = nullptr;
    QPushButton* m_BTNFontReset = nullptr;
    QPushButton* m_BTNOk = nullptr;
    QPushButton* m_BTNCancel = nullptr;
};
