// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtMainThread.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace lirra {

QtMainThread::QtMainThread() : receiver_(std::make_unique<QObject>()) {}

QtMainThread::~QtMainThread() = default;

void QtMainThread::post(std::function<void()> task) {
    // A timer, not a posted event: a task that waits for the web engine in a local event loop
    // (a synchronous script evaluation) never gets its answer while it runs inside the
    // dispatch of posted events, which is where the engine's own work is scheduled too.
    // Timers due at the same time fire in the order they were started, so tasks keep theirs.
    if (isCurrent()) {
        QTimer::singleShot(1, Qt::PreciseTimer, receiver_.get(), std::move(task));
        return;
    }
    // Timers can only be started on the main thread itself: hand the task over first.
    QMetaObject::invokeMethod(
        receiver_.get(),
        [receiver = receiver_.get(), task = std::move(task)]() mutable {
            QTimer::singleShot(1, Qt::PreciseTimer, receiver, std::move(task));
        },
        Qt::QueuedConnection);
}

bool QtMainThread::isCurrent() const { return QThread::currentThread() == receiver_->thread(); }

}  // namespace lirra
