#pragma once

#include "map-data/TileLoaderStatus.h"
#include "platform/Clock.h"
#include "platform/Executor.h"

#include <functional>
#include <memory>
#include <mutex>

namespace velorin {

// Holds the loader's status and hands its changes to the main queue, at most one every
// 0.1 s unless the writer forces it; an unchanged status is never handed on. A change
// held back goes out with the next publication. Thread-safe: any queue of the loader
// writes through `change`.
class TileStatusPublisher {
public:
    static constexpr double kMinPublishIntervalSeconds = 0.1;

    // `deliver` runs on `mainQueue` with each published copy.
    using Deliver = std::function<void(const TileLoaderStatus&)>;

    TileStatusPublisher(std::shared_ptr<const platform::Clock> clock, std::shared_ptr<platform::Executor> mainQueue,
        Deliver deliver);

    // Applies `edit` under the status lock and publishes the result when it changed and
    // either `force` is set or more than the minimum interval passed since the last
    // publication.
    void change(bool force, const std::function<void(TileLoaderStatus&)>& edit);

    TileLoaderStatus current() const;

private:
    const std::shared_ptr<const platform::Clock> clock_;
    const std::shared_ptr<platform::Executor> mainQueue_;
    const Deliver deliver_;

    mutable std::mutex mutex_;
    TileLoaderStatus status_;
    double lastPublish_ = 0;
};

} // namespace velorin
