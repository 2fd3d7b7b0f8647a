#pragma once

#include "platform/Clock.h"

#include <cstddef>
#include <map>
#include <mutex>

namespace platform {

// A clock that moves only when told to, so a 30 s hold-off is tested in microseconds.
// Delayed blocks run inside `advance`, on the caller's thread, in deadline order, each
// seeing `now()` equal to its own deadline. Thread-safe.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 1000.0)
        : now_(start)
    {
    }

    double now() const override;
    void after(double delaySeconds, Executor::Task task) override;

    // Moves time forward by `seconds`, running every block that falls due on the way,
    // including blocks those blocks schedule within the interval.
    void advance(double seconds);
    std::size_t pendingTimers() const;

private:
    mutable std::mutex mutex_;
    double now_;
    std::multimap<double, Executor::Task> timers_;
};

} // namespace platform
