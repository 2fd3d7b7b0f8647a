#pragma once

#include "platform/Clock.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace platform {

// The real clock: std::chrono::steady_clock, with one timer thread started on the first
// delayed block. Thread-safe.
class SteadyClock final : public Clock {
public:
    SteadyClock() = default;
    ~SteadyClock() override;

    SteadyClock(const SteadyClock&) = delete;
    SteadyClock& operator=(const SteadyClock&) = delete;

    double now() const override;
    void after(double delaySeconds, Executor::Task task) override;

private:
    void runTimers();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::multimap<double, Executor::Task> timers_;
    std::thread thread_;
    bool stopping_ = false;
};

} // namespace platform
