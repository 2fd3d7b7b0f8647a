#pragma once

#include "platform/Executor.h"

namespace platform {

// The monotonic media clock: seconds as a double, never set back. Retry deadlines,
// throttles and fades are measured on it, and tests substitute a `ManualClock`.
// Thread-safe.
class Clock {
public:
    virtual ~Clock() = default;

    virtual double now() const = 0;
    // Runs `task` once `delaySeconds` have passed on this clock, on the clock's timer
    // thread. Keep it short: hop to your own queue, holding your owner weakly. Timers
    // still pending when the clock is destroyed never run.
    virtual void after(double delaySeconds, Executor::Task task) = 0;
};

} // namespace platform
