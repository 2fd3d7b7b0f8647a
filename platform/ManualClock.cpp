#include "platform/ManualClock.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace platform {

double ManualClock::now() const
{
    std::lock_guard lock(mutex_);
    return now_;
}

void ManualClock::after(double delaySeconds, Executor::Task task)
{
    double delay = std::isfinite(delaySeconds) ? std::max(0.0, delaySeconds) : 0.0;
    std::lock_guard lock(mutex_);
    timers_.emplace(now_ + delay, std::move(task));
}

void ManualClock::advance(double seconds)
{
    assert(seconds >= 0);
    double target;
    {
        std::lock_guard lock(mutex_);
        target = now_ + seconds;
    }
    for (;;) {
        Executor::Task task;
        {
            std::lock_guard lock(mutex_);
            auto first = timers_.begin();
            if (first == timers_.end() || first->first > target) {
                now_ = target;
                return;
            }
            now_ = std::max(now_, first->first);
            task = std::move(first->second);
            timers_.erase(first);
        }
        task();
    }
}

std::size_t ManualClock::pendingTimers() const
{
    std::lock_guard lock(mutex_);
    return timers_.size();
}

} // namespace platform
