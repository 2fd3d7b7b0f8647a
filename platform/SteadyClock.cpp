#include "platform/SteadyClock.h"

#include "platform/ThreadName.h"

#include <chrono>
#include <cmath>

namespace platform {

namespace {
using Seconds = std::chrono::duration<double>;
}

SteadyClock::~SteadyClock()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        timers_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

double SteadyClock::now() const
{
    return Seconds(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::after(double delaySeconds, Executor::Task task)
{
    double delay = std::isfinite(delaySeconds) ? std::max(0.0, delaySeconds) : 0.0;
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        timers_.emplace(now() + delay, std::move(task));
        if (!thread_.joinable())
            thread_ = std::thread([this] { runTimers(); });
    }
    changed_.notify_all();
}

void SteadyClock::runTimers()
{
    setCurrentThreadName("velorin.timers");
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (timers_.empty()) {
            changed_.wait(lock);
            continue;
        }
        auto first = timers_.begin();
        double wait = first->first - now();
        if (wait > 0) {
            changed_.wait_for(lock, Seconds(wait));
            continue;
        }
        Executor::Task task = std::move(first->second);
        timers_.erase(first);
        lock.unlock();
        task();
        lock.lock();
    }
}

} // namespace platform
