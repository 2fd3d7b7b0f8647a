#pragma once

#include "platform/Clock.h"
#include "platform/MainQueue.h"

#include <functional>
#include <memory>

namespace velorin {

// One pending delayed action of its owner, measured on the injected clock and run on the
// main queue. Starting it again replaces the pending action; cancelling or destroying it
// means the action never runs, so an owner that holds its timers can never be called
// once it is gone. Main thread only (the clock's timer thread only posts).
class MainTimer {
public:
    MainTimer(std::shared_ptr<platform::Clock> clock, std::shared_ptr<platform::MainQueue> mainQueue);
    ~MainTimer();

    MainTimer(const MainTimer&) = delete;
    MainTimer& operator=(const MainTimer&) = delete;

    // The action runs once `delaySeconds` have passed, unless cancelled first. The timer
    // is idle again when it runs, so the action may start it anew.
    void start(double delaySeconds, std::function<void()> action);
    void cancel();
    bool isPending() const { return ticket_ != nullptr; }

private:
    struct Ticket {
        MainTimer* owner;
        std::function<void()> action;
    };

    const std::shared_ptr<platform::Clock> clock_;
    const std::shared_ptr<platform::MainQueue> mainQueue_;
    // The pending action; what the clock and the queue carry holds it weakly.
    std::shared_ptr<Ticket> ticket_;
};

} // namespace velorin
