#pragma once

#include <QDialog>
#include <QString>

class CFontSettings;
class QPlainTextEdit;
class QPushButton;

// Shows one text file (UTF-8) in a resizable window with a fixed-pitch font.
// The text can be edited on screen but is never written back.
class CDisplayTextDlg : public QDialog
{
    Q_OBJECT

  public:
    // Files longer than this show only their last this many bytes.
    static constexpr long long kShownBytes = 4LL << 20;

    // The OK label comes from languageFile (empty for English).
    CDisplayTextDlg(const QString& languageFile, CFontSettings& font, const QString& filePath,
                    QWidget* parent = nullptr);

    // Gap between the text box and OK, and between OK and the bottom edge.
    static constexpr int kGap = 5;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void ArrangeControls(int width, int height);

    QPlainTextEdit* m_EDTText = nullptr;
    QPushButton* m_BTNOk = nullptr;
};
