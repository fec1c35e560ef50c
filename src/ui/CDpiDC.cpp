#include "ui/CDpiDC.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace
{
int LogicalDpiX(const QWidget* window)
{
    if (window != nullptr)
        return window->logicalDpiX();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? static_cast<int>(screen->logicalDotsPerInchX()) : CDpiDC::kDesignDpi;
}

QRect ControlRect(const QWidget* control, const QWidget* dialog)
{
    const QWidget* parent = control->parentWidget();
    QPoint topLeft = control->pos();
    if (parent != nullptr && parent != dialog && dialog->isAncestorOf(parent))
        topLeft = parent->mapTo(dialog, topLeft);
    return QRect(topLeft, control->size());
}
} // namespace

CDpiDC::CDpiDC(const QWidget* window, int designDpi) : m_nScreenDpi(LogicalDpiX(window)), m_nDesignDpi(designDpi) {}

CDpiDC::CDpiDC(int screenDpi, int designDpi) : m_nScreenDpi(screenDpi), m_nDesignDpi(designDpi) {}

int CDpiDC::ScaleToScreen(int value) const
{
    if (m_nDesignDpi < m_nScreenDpi)
        return value * m_nScreenDpi / m_nDesignDpi;
    return value;
}

bool CDpiDC::StretchBitmap(const QPixmap& source, QPixmap& target, int sourceWidth, int sourceHeight, int targetWidth,
                           int targetHeight) const
{
    if (targetWidth <= 0 || targetHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0 || source.isNull())
    {
        target = QPixmap();
        return false;
    }
    target = QPixmap(targetWidth, targetHeight);
    target.fill(Qt::transparent);
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(0, 0, targetWidth, targetHeight), source, QRect(0, 0, sourceWidth, sourceHeight));
    return true;
}

void CDpiDC::ResizeControl(QWidget* control, QWidget* dialog, bool centre, int width, int height, bool keepAspect) const
{
    if (control == nullptr || dialog == nullptr || m_nScreenDpi <= m_nDesignDpi)
        return;
    const QRect rect = ControlRect(control, dialog);
    const int currentWidth = rect.width();
    const int currentHeight = rect.height();
    const int screen = m_nScreenDpi;
    const int design = m_nDesignDpi;

    // A control of zero width or height has no aspect to keep: it is scaled
    // by the screen ratio instead of dividing by zero.
    if (width == -1 && height == -1)
    {
        width = currentWidth * screen / design;
        height = currentHeight * screen / design;
    }
    else if (width == -1)
        width =
            keepAspect && currentHeight != 0 ? currentWidth * height / currentHeight : currentWidth * screen / design;
    else if (height == -1)
        height =
            keepAspect && currentWidth != 0 ? currentHeight * width / currentWidth : currentHeight * screen / design;

    if (width == currentWidth || height == currentHeight)
        return;
    control->resize(width, height);

    if (centre)
    {
        const int dialogWidth = dialog->frameGeometry().width();
        const int left = dialogWidth / 2 - width / 2;
        QPoint position(left, rect.top());
        if (QWidget* parent = control->parentWidget();
            parent != nullptr && parent != dialog && dialog->isAncestorOf(parent))
            position = parent->mapFrom(dialog, position);
        control->move(position.x(), control->pos().y());
    }
}

int CDpiDC::GetControlTop(const QWidget* control, const QWidget* dialog)
{
    return ControlRect(control, dialog).top();
}

int CDpiDC::GetControlWidth(const QWidget* control, const QWidget* dialog)
{
    return ControlRect(control, dialog).width();
}

int CDpiDC::GetControlHeight(const QWidget* control, const QWidget* dialog)
{
    return ControlRect(control, dialog).height();
}
