#pragma once

#include "platform/MainQueue.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>

namespace platform {

// A main queue whose blocks run only when its owner drains it, so a test decides when
// main-thread work happens. The thread that constructs it is its main thread.
// `post` is thread-safe; `drain` and `runOne` belong to the main thread.
class DrainableMainQueue final : public MainQueue {
public:
    DrainableMainQueue();

    void post(Task task) override;
    bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }

    // Runs blocks until none is left, including those posted meanwhile; returns how many ran.
    std::size_t drain();
    // Runs the oldest block, if any.
    bool runOne();
    // Waits up to `timeoutSeconds` for a block to arrive from another thread, then runs
    // it; false when none came.
    bool runOneWaiting(double timeoutSeconds);
    std::size_t pendingCount() const;

private:
    std::thread::id mainThread_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Task> tasks_;
};

} // namespace platform
