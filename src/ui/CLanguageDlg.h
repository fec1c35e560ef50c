#pragma once

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

class CFontSettings;
class QComboBox;
class QLabel;
class QPushButton;

// Lets the user pick the interface language from "Languages.ini", with the
// built-in English always offered (unless the list carries its own English).
// The dialog's own texts follow the highlighted language at once.
class CLanguageDlg : public QDialog
{
    Q_OBJECT

  public:
    static constexpr const char* kBuiltInName = "English";
    // Room the window frame takes beside the caption: icon and buttons.
    static constexpr int kCaptionDecorationWidth = 130;

    // currentFile and currentName: the language in use (empty file for the
    // built-in English). languageListFile: the full path of "Languages.ini";
    // languageFolder is put in front of each file name it lists. On OK,
    // resultFile and resultName receive the chosen language; resultFile is
    // also read at start to find the entry to highlight.
    CLanguageDlg(const std::u16string& currentFile, const std::u16string& currentName,
                 const std::u16string& languageListFile, const std::u16string& languageFolder,
                 std::u16string& resultFile, std::u16string& resultName, CFontSettings& font,
                 QWidget* parent = nullptr);

    // The highlighted language: what OK would return.
    const std::u16string& HighlightedFile() const { return m_sHighlightedFile; }
    const std::u16string& HighlightedName() const { return m_sHighlightedName; }

    void accept() override;

  private:
    void FillList(const std::u16string& languageListFile, const std::u16string& languageFolder);
    void SetTexts();
    void OnSelectionChanged(int index);

    std::u16string& m_sResultFile;
    std::u16string& m_sResultName;
    std::u16string m_sHighlightedFile;
    std::u16string m_sHighlightedName;
    // The full language file path of each list entry; empty for built-in English.
    std::vector<std::u16string> m_languageFiles;
    int m_nCurrentIndex = 0;

    QLabel* m_LBLCurrentLanguage = nullptr;
    QComboBox* m_CMBLanguage = nullptr;
    QPushButton* m_BTNOk = nullptr;
    QPushButton* m_BTNCancel = nullptr;
};
