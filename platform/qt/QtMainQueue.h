#pragma once

#include "platform/MainQueue.h"

#include <QObject>

#include <deque>
#include <memory>
#include <mutex>

namespace platform {

// The main queue of the application: blocks posted from any thread run one at a time,
// in order, on the thread of Qt's event loop. Make it on the GUI thread once the Qt
// application exists, and keep it as long as anyone may post; blocks still queued when
// it goes are dropped.
// The blocks wait in a list of our own under a mutex, and Qt's event queue only carries
// the wake-up that drains it: every hand-off of a block to the GUI thread then goes
// through that mutex, where a race detector can see it.
class QtMainQueue final : public MainQueue {
public:
    QtMainQueue();
    ~QtMainQueue() override;

    void post(Task task) override;
    bool isMainThread() const override;

private:
    friend class QtMainQueueWaker;

    // Runs, on the GUI thread, the blocks posted before the wake-up arrived; those they
    // post run at the next wake-up.
    void drain();

    // Receives the queued wake-ups on the GUI thread.
    std::unique_ptr<QObject> waker_;
    std::mutex mutex_;
    std::deque<Task> tasks_;
    // Set while a drain runs, so that a block destroying the queue stops the drain.
    bool* destroyedWhileDraining_ = nullptr;
};

} // namespace platform
