#include "ui/LinkFocus.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>

namespace
{
class CLinkFocusFilter : public QObject
{
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::FocusIn)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)
            return false;
        // The label moves among its links on Tab: one step puts the mark on
        // the first (or, backwards, the last) link.
        const int key = reason == Qt::TabFocusReason ? Qt::Key_Tab : Qt::Key_Backtab;
        const Qt::KeyboardModifiers modifiers = reason == Qt::TabFocusReason ? Qt::NoModifier : Qt::ShiftModifier;
        QCoreApplication::postEvent(watched, new QKeyEvent(QEvent::KeyPress, key, modifiers));
        return false;
    }
};
} // namespace

void FocusLinksOnTab(QLabel* label)
{
    label->installEventFilter(new CLinkFocusFilter(label));
}
