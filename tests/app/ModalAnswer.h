#pragma once

#include <QApplication>
#include <QEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Answers the next modal window named objectName from the event loop, so a
// test can drive a dialog that the code under test runs with exec(). Gives
// up after timeoutMs; *answered tells whether the window came.
inline std::shared_ptr<bool> OnNextModal(const QString& objectName, std::function<void(QWidget*)> answer,
                                         int timeoutMs = 10000)
{
    auto answered = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->objectName() != objectName || !modal->isVisible())
        {
            if (++*ticks * 10 > timeoutMs)
            {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        *answered = true;
        answer(modal);
    });
    timer->start();
    return answered;
}

// Watches for a window named objectName being shown and closes it at once.
class CWindowWatch : public QObject
{
  public:
    explicit CWindowWatch(const QString& objectName) : m_sName(objectName) { qApp->installEventFilter(this); }
    ~CWindowWatch() override { qApp->removeEventFilter(this); }
    bool Seen() const { return m_bSeen; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType() && watched->objectName() == m_sName &&
            static_cast<QWidget*>(watched)->isWindow())
        {
            m_bSeen = true;
            auto* window = static_cast<QWidget*>(watched);
            QMetaObject::invokeMethod(
                window, [window] { window->close(); }, Qt::QueuedConnection);
        }
        return false;
    }

  private:
    QString m_sName;
    bool m_bSeen = false;
};

// Runs act and tells whether a window named objectName came up while the
// event loop handled it and what it posted: a marker queued after act runs
// only once the events before it are handled (a modal window that came
// meanwhile runs it in its own loop and is closed). True when the marker
// never ran, so a stuck loop does not pass for "nothing came".
inline bool WindowCameDuring(const QString& objectName, const std::function<void()>& act)
{
    CWindowWatch watch(objectName);
    act();
    auto handled = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        qApp, [handled] { *handled = true; }, Qt::QueuedConnection);
    const bool done = QTest::qWaitFor([handled] { return *handled; }, 10000);
    return !done || watch.Seen();
}
