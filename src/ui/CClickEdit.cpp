#include "ui/CClickEdit.h"

#include "ui/ShellOpen.h"

#include <QMouseEvent>

CClickEdit::CClickEdit(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setFrame(false);
    setFocusPolicy(Qt::StrongFocus);
    m_editCursor = cursor();
}

void CClickEdit::SetLinkTarget(const QString& target)
{
    m_sLinkTarget = target;
    UpdateCursor();
}

void CClickEdit::UpdateCursor()
{
    if (m_sLinkTarget.isEmpty())
        setCursor(m_editCursor);
    else
        setCursor(Qt::PointingHandCursor);
}

void CClickEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A target that cannot be opened fails silently, as a dead link does.
    if (!m_sLinkTarget.isEmpty() && event->button() == Qt::LeftButton)
        OpenWithDefaultHandler(m_sLinkTarget);
    QLineEdit::mouseDoubleClickEvent(event);
}

void CClickEdit::mouseMoveEvent(QMouseEvent* event)
{
    UpdateCursor();
    QLineEdit::mouseMoveEvent(event);
}

void CClickEdit::enterEvent(QEnterEvent* event)
{
    UpdateCursor();
    QLineEdit::enterEvent(event);
}
