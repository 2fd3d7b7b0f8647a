#include "map-data/TileStatusPublisher.h"

namespace velorin {

TileStatusPublisher::TileStatusPublisher(std::shared_ptr<const platform::Clock> clock,
    std::shared_ptr<platform::Executor> mainQueue, Deliver deliver)
    : clock_(std::move(clock))
    , mainQueue_(std::move(mainQueue))
    , deliver_(std::move(deliver))
{
}

void TileStatusPublisher::change(bool force, const std::function<void(TileLoaderStatus&)>& edit)
{
    std::lock_guard lock(mutex_);
    auto old = status_;
    edit(status_);
    if (status_ == old)
        return;
    double now = clock_->now();
    if (!force && now - lastPublish_ <= kMinPublishIntervalSeconds)
        return;
    lastPublish_ = now;
    // Posted under the lock, so the main queue sees the statuses in publication order.
    mainQueue_->post([deliver = deliver_, copy = status_] { deliver(copy); });
}

TileLoaderStatus TileStatusPublisher::current() const
{
    std::lock_guard lock(mutex_);
    return status_;
}

} // namespace velorin
