#pragma once

#include "map-data/TileRelay.h"
#include "platform/BlockingFetches.h"
#include "platform/HttpSession.h"
#include "platform/SteadyClock.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// Downloads a provider's file and waits for it, for the work of feature loaders that runs on
// their own worker threads, never the GUI thread. Files go through the tile relay while it
// is on and up. A transfer is bounded by inactivity only, as the tile loader's are: a town's
// file of several megabytes on a slow link takes as long as it takes, while one that stops
// coming is given up. Thread-safe; `stop` wakes every waiting fetch, and later ones give
// nothing.
class BlockingFetch {
public:
    // A transfer that receives nothing for this long is given up.
    static constexpr double kIdleTimeoutSeconds = 60;

    // The session and the relay (if any) outlive the fetcher.
    BlockingFetch(platform::HttpSession& session, TileRelay* relay, double idleTimeoutSeconds = kIdleTimeoutSeconds);

    // The body of a 200 answer to `upstreamURL`; nothing for any other status, a transport
    // error, or once stopped.
    std::optional<std::vector<std::byte>> get(const std::string& upstreamURL);
    void stop() { fetches_.stop(); }

private:
    TileRelay* const relay_;
    const double idleTimeoutSeconds_;
    // Only the transfer's own time limit applies, so the clock never runs a timer.
    platform::SteadyClock clock_;
    platform::BlockingFetches fetches_;
};

} // namespace velorin
