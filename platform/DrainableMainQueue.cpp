#include "platform/DrainableMainQueue.h"

#include <cassert>
#include <chrono>

namespace platform {

DrainableMainQueue::DrainableMainQueue()
    : mainThread_(std::this_thread::get_id())
{
}

void DrainableMainQueue::post(Task task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    arrived_.notify_all();
}

std::size_t DrainableMainQueue::drain()
{
    std::size_t count = 0;
    while (runOne())
        ++count;
    return count;
}

bool DrainableMainQueue::runOne()
{
    return runOneWaiting(0);
}

bool DrainableMainQueue::runOneWaiting(double timeoutSeconds)
{
    assert(isMainThread());
    Task task;
    {
        std::unique_lock lock(mutex_);
        auto timeout = std::chrono::duration<double>(timeoutSeconds);
        if (!arrived_.wait_for(lock, timeout, [this] { return !tasks_.empty(); }))
            return false;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

std::size_t DrainableMainQueue::pendingCount() const
{
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

} // namespace platform
