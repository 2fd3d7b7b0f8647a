#include "platform/qt/QtMainQueue.h"

#include <QMetaObject>
#include <QThread>

#include <utility>

namespace platform {

// Lives on the GUI thread. The wake-up is invoked by name, so that the queued call is
// made and freed inside Qt and carries no data written on the posting thread.
class QtMainQueueWaker final : public QObject {
    Q_OBJECT

public:
    explicit QtMainQueueWaker(QtMainQueue& queue)
        : queue_(queue)
    {
    }

    Q_INVOKABLE void wake() { queue_.drain(); }

private:
    QtMainQueue& queue_;
};

QtMainQueue::QtMainQueue()
    : waker_(std::make_unique<QtMainQueueWaker>(*this))
{
}

QtMainQueue::~QtMainQueue()
{
    if (destroyedWhileDraining_)
        *destroyedWhileDraining_ = true;
}

void QtMainQueue::post(Task task)
{
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    // One wake-up drains everything posted before it runs.
    if (tasks_.size() == 1)
        QMetaObject::invokeMethod(waker_.get(), "wake", Qt::QueuedConnection);
}

bool QtMainQueue::isMainThread() const
{
    return QThread::currentThread() == waker_->thread();
}

void QtMainQueue::drain()
{
    std::deque<Task> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    // A drain inside a block (a modal dialog's event loop) tells the outer one too.
    bool destroyed = false;
    bool* const outer = std::exchange(destroyedWhileDraining_, &destroyed);
    for (Task& task : batch) {
        task();
        if (destroyed) {
            if (outer)
                *outer = true;
            return;
        }
    }
    destroyedWhileDraining_ = outer;
}

} // namespace platform

#include "QtMainQueue.moc"
