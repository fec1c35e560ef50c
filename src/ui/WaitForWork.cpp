#include "ui/WaitForWork.h"

#include "ui/Artwork.h"

#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <mutex>

namespace
{
// Where the thread reports the end of the work, as long as somebody waits.
struct SWaitState
{
    std::mutex mutex;
    QObject* receiver = nullptr;
    std::function<void()> finished;
};

QDialog* MakeWaitWindow(QWidget* parent, const QString& text, const QString& cancelText)
{
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("CWaitDlg"));
    dialog->setWindowTitle(parent ? parent->window()->windowTitle() : QString());
    dialog->setWindowIcon(ProgramIcon());
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* label = new QLabel(text, dialog);
    label->setObjectName(QStringLiteral("m_LBLWait"));
    label->setWordWrap(true);
    auto* bar = new QProgressBar(dialog);
    // No end is known: the bar only shows that the program is alive.
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    auto* cancel = new QPushButton(cancelText, dialog);
    cancel->setObjectName(QStringLiteral("m_BTNCancel"));
    cancel->setDefault(true);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(label);
    layout->addWidget(bar);
    layout->addLayout(buttons);
    dialog->setMinimumWidth(360);
    return dialog;
}
} // namespace

bool WaitForDone(QWidget* parent, const QString& text, const QString& cancelText,
                 const std::function<void(std::function<void()> done)>& launch)
{
    auto state = std::make_shared<SWaitState>();
    QObject receiver;
    QEventLoop loop;
    bool finished = false;
    state->receiver = &receiver;
    state->finished = [&] {
        finished = true;
        loop.quit();
    };
    launch([state] {
        const std::lock_guard<std::mutex> lock(state->mutex);
        if (state->receiver)
            QMetaObject::invokeMethod(state->receiver, state->finished, Qt::QueuedConnection);
    });

    // First only repaints: a click now would act on a window whose work is
    // not done.
    QTimer delay;
    delay.setSingleShot(true);
    QObject::connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    delay.start(kWaitWindowDelayMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished)
    {
        QDialog* dialog = MakeWaitWindow(parent, text, cancelText);
        QObject::connect(dialog, &QDialog::rejected, &loop, &QEventLoop::quit);
        dialog->show();
        loop.exec();
        dialog->hide();
        delete dialog;
    }
    // From here on a late end of the work reaches nobody.
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->receiver = nullptr;
    return finished;
}
