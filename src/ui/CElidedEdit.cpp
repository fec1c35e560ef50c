#include "ui/CElidedEdit.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

CElidedEdit::CElidedEdit(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
}

QRect CElidedEdit::TextRect() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    QRect rect = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const QMargins margins = textMargins();
    rect = rect.marginsRemoved(margins);
    // QLineEdit keeps two pixels between its contents and the text.
    return rect.adjusted(2, 0, -2, 0);
}

bool CElidedEdit::ShowsAsIs() const
{
    return hasSelectedText() || fontMetrics().horizontalAdvance(text()) <= TextRect().width();
}

QString CElidedEdit::DisplayedText() const
{
    if (ShowsAsIs())
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, TextRect().width());
}

void CElidedEdit::paintEvent(QPaintEvent* event)
{
    if (ShowsAsIs())
    {
        QLineEdit::paintEvent(event);
        return;
    }
    // The frame and background as the style draws them, the text elided.
    QPainter painter(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(TextRect(), Qt::AlignLeft | Qt::AlignVCenter, DisplayedText());
}
