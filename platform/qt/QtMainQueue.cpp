#include "platform/qt/QtMainQueue.h"

#include <QMetaObject>
#include <QThread>

#include <utility>

namespace platform {

QtMainQueue::QtMainQueue()
    : receiver_(std::make_unique<QObject>())
{
}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(Task task)
{
    QMetaObject::invokeMethod(receiver_.get(), std::move(task), Qt::QueuedConnection);
}

bool QtMainQueue::isMainThread() const
{
    return QThread::currentThread() == receiver_->thread();
}

} // namespace platform
