#pragma once

#include <QApplication>
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
