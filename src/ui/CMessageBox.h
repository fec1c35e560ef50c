#pragma once

#include <QMessageBox>
#include <QString>

#include <utility>
#include <vector>

class QWidget;

// Every message box of the program goes through here, so that tests can
// answer a box in advance and read what it said, and so that a run without a
// usable display never waits for a click nobody can give.
class CMessageBox
{
  public:
    // An error icon, text, caption and one OK button; a non-empty detail is
    // offered as the box's expandable detailed text.
    static void ShowError(QWidget* parent, const QString& text, const QString& caption, const QString& detail = {});
    // The same with an information icon: news, not a failure.
    static void ShowInfo(QWidget* parent, const QString& text, const QString& caption);
    // A question with the given buttons; returns the button pressed (a
    // QMessageBox::StandardButton), defaultButton when no display can show it.
    // buttonTexts name buttons in the program's own words (Copy for Ok).
    static int Ask(QWidget* parent, const QString& text, const QString& caption, QMessageBox::StandardButtons buttons,
                   QMessageBox::StandardButton defaultButton,
                   const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttonTexts = {});

    // The next box is answered with button and not shown.
    static void SetNextAnswer(QMessageBox::StandardButton button);
    // What the last box said, whether it was shown, answered in advance or
    // written to the error stream.
    static QString LastText();
    static QString LastCaption();
    static QString LastDetail();
    // The icon of the last box (Question for Ask).
    static QMessageBox::Icon LastIcon();

    // False when there is no application object or its platform cannot show
    // a window to anybody (offscreen, minimal): boxes then go to stderr.
    static bool CanShowWindows();

  private:
    static void Show(QMessageBox::Icon icon, QWidget* parent, const QString& text, const QString& caption,
                     const QString& detail);
};
