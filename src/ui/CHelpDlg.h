#pragma once

#include <QDialog>
#include <QString>

class CFontSettings;
class QPlainTextEdit;
class QPushButton;

// The program's short manual in a fixed-size window. The manual is a text of
// the language file, with the built-in English manual as its default.
class CHelpDlg : public QDialog
{
    Q_OBJECT

  public:
    CHelpDlg(const QString& languageFile, CFontSettings& font, QWidget* parent = nullptr);

    // Lines of the manual visible without scrolling.
    static constexpr int kVisibleLines = 30;

  private:
    void FitToText();

    QPlainTextEdit* m_LBLHelp = nullptr;
    QPushButton* m_BTNOk = nullptr;
};
