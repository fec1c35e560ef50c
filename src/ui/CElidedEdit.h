#pragma once

#include <QLineEdit>

// A read-only box for a long name (a database path): where the name does not
// fit, it shows the name's start and end with an ellipsis in the middle, so
// that the folder and the file name both stay in view. text() is always the
// whole name; while the user selects in the box it shows the name as it is.
class CElidedEdit : public QLineEdit
{
    Q_OBJECT

  public:
    explicit CElidedEdit(QWidget* parent = nullptr);

    // What the box shows now: the whole text, or its middle elided.
    QString DisplayedText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect TextRect() const;
    bool ShowsAsIs() const;
};
