#include "ui/WindowSizes.h"

#include <QEvent>
#include <QHash>
#include <QStringList>
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

std::string WindowSizesText()
{
    QStringList entries;
    for (auto it = Sizes().cbegin(); it != Sizes().cend(); ++it)
        entries << QStringLiteral("%1=%2x%3").arg(it.key()).arg(it.value().width()).arg(it.value().height());
    entries.sort();
    return entries.join(QLatin1Char(';')).toStdString();
}

void LoadWindowSizes(const std::string& text)
{
    Sizes().clear();
    for (const QString& entry : QString::fromStdString(text).split(QLatin1Char(';'), Qt::SkipEmptyParts))
    {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const QStringList size = entry.section(QLatin1Char('='), 1).split(QLatin1Char('x'));
        bool wide = false;
        bool high = false;
        const int width = size.value(0).toInt(&wide);
        const int height = size.value(1).toInt(&high);
        if (!name.isEmpty() && size.size() == 2 && wide && high && width > 0 && height > 0)
            Sizes().insert(name, QSize(width, height));
    }
}
