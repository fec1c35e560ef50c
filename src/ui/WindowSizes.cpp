#include "ui/WindowSizes.h"

#include <QEvent>
#include <QHash>
#include <QWidget>

namespace
{
QHash<QString, QSize>& Sizes()
{
    static QHash<QString, QSize> sizes;
    return sizes;
}

class CSizeKeeper : public QObject
{
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
        {
            const auto* window = static_cast<QWidget*>(watched);
            // A maximised window keeps the size it had before.
            if (!window->isMaximized() && !window->isMinimized())
                Sizes().insert(window->objectName(), window->size());
        }
        return false;
    }
};
} // namespace

bool KeepWindowSize(QWidget* window, QSize fallback)
{
    window->installEventFilter(new CSizeKeeper(window));
    const QSize remembered = RememberedWindowSize(window->objectName());
    window->resize((remembered.isValid() ? remembered : fallback).expandedTo(window->minimumSizeHint()));
    return remembered.isValid();
}

QSize RememberedWindowSize(const QString& name)
{
    return Sizes().value(name);
}
