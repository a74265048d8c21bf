#include "QtMainThread.h"

#include <QMetaObject>
#include <QThread>

namespace lirra {

QtMainThread::QtMainThread() : receiver_(std::make_unique<QObject>()) {}

QtMainThread::~QtMainThread() = default;

void QtMainThread::post(std::function<void()> task) {
    QMetaObject::invokeMethod(receiver_.get(), std::move(task), Qt::QueuedConnection);
}

bool QtMainThread::isCurrent() const { return QThread::currentThread() == receiver_->thread(); }

}  // namespace lirra
