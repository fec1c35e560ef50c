#pragma once

#include <QCursor>
#include <QLineEdit>
#include <QString>

// A read-only, borderless text field that acts as a link: once a target is
// set it shows the hand cursor and a double click opens the target with the
// desktop's default handler, while still selecting text as any field does.
// The shown text and the target are independent of each other.
class CClickEdit : public QLineEdit
{
    Q_OBJECT

  public:
    explicit CClickEdit(QWidget* parent = nullptr);

    // A document path, web address or "mailto:" target; empty disables both
    // the hand cursor and the opening.
    void SetLinkTarget(const QString& target);
    const QString& LinkTarget() const { return m_sLinkTarget; }

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

  private:
    void UpdateCursor();

    QString m_sLinkTarget;
    QCursor m_editCursor;
};
