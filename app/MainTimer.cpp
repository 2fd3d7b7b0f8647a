#include "app/MainTimer.h"

#include <utility>

namespace velorin {

MainTimer::MainTimer(std::shared_ptr<platform::Clock> clock, std::shared_ptr<platform::MainQueue> mainQueue)
    : clock_(std::move(clock))
    , mainQueue_(std::move(mainQueue))
{
}

MainTimer::~MainTimer() = default;

void MainTimer::start(double delaySeconds, std::function<void()> action)
{
    ticket_ = std::make_shared<Ticket>(Ticket { this, std::move(action) });
    std::weak_ptr<Ticket> weakTicket = ticket_;
    std::weak_ptr<platform::MainQueue> weakQueue = mainQueue_;
    clock_->after(delaySeconds, [weakTicket, weakQueue] {
        auto queue = weakQueue.lock();
        if (!queue)
            return;
        queue->post([weakTicket] {
            auto ticket = weakTicket.lock();
            if (!ticket)
                return;
            // The ticket lives only while its timer holds it, and both live on this thread.
            MainTimer& timer = *ticket->owner;
            timer.ticket_.reset();
            ticket->action();
        });
    });
}

void MainTimer::cancel()
{
    ticket_.reset();
}

} // namespace velorin
