#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QWidget;

// Runs launch, which starts work on another thread and calls done when it
// has finished, while the window stays alive. For half a second the window
// repaints but takes no input; then a wait window over parent shows text
// and Cancel (also Escape). True when the work finished, false when the user
// cancelled: the work then goes on by itself and nothing it does later
// reaches the caller.
bool WaitForDone(QWidget* parent, const QString& text, const QString& cancelText,
                 const std::function<void(std::function<void()> done)>& launch);

// Runs work on a thread of its own (see WaitForDone) and gives its result,
// or nothing when the user cancelled. work must own everything it uses:
// after a cancel it still runs, and its result is dropped on its thread.
template <typename T>
std::optional<T> WaitForWork(QWidget* parent, const QString& text, const QString& cancelText, std::function<T()> work)
{
    auto result = std::make_shared<std::optional<T>>();
    const bool finished = WaitForDone(parent, text, cancelText, [result, &work](std::function<void()> done) {
        std::thread([result, work = std::move(work), done = std::move(done)] {
            *result = work();
            done();
        }).detach();
    });
    if (!finished)
        return std::nullopt;
    return std::move(*result);
}

// How long the work may take before the wait window appears.
inline constexpr int kWaitWindowDelayMs = 500;
