#include "map-data/TileRelay.h"

#include <algorithm>
#include <limits>

namespace velorin {

TileRelay::TileRelay(ServiceHosts hosts, platform::Clock& clock, const platform::UserDefaults& defaults)
    : hosts_(std::move(hosts))
    , relayedHosts_(hosts_.relayedHosts())
    , clock_(clock)
    , defaults_(defaults)
    , state_(std::make_shared<State>())
{
    state_->lastProbe = -std::numeric_limits<double>::infinity();
}

TileRelay::~TileRelay()
{
    std::lock_guard lock(probeMutex_);
    probe_.cancel();
}

bool TileRelay::isRelayEnabled() const
{
    return hosts_.hasRelay() && defaults_.boolean(kSwitchKey).value_or(true);
}

std::optional<std::string> TileRelay::relayURL(std::string_view url) const
{
    if (!hosts_.hasRelay())
        return std::nullopt;
    const std::string prefix = hosts_.scheme + "://";
    if (!url.starts_with(prefix))
        return std::nullopt;
    auto rest = url.substr(prefix.size());
    auto host = rest.substr(0, rest.find_first_of("/?#"));
    if (std::find(relayedHosts_.begin(), relayedHosts_.end(), host) == relayedHosts_.end())
        return std::nullopt;
    return hosts_.origin(*hosts_.relayHost) + "/" + *hosts_.relayToken + "/" + std::string(rest);
}

std::string TileRelay::relayedURL(std::string url)
{
    if (!isRelayEnabled())
        return url;
    auto relayed = relayURL(url);
    if (!relayed)
        return url;
    bool probeDue = false;
    bool up = false;
    {
        const double now = clock_.now();
        std::lock_guard lock(state_->mutex);
        if (now - state_->lastProbe > kProbeIntervalSeconds) {
            state_->lastProbe = now;
            probeDue = true;
        }
        up = state_->up;
    }
    if (probeDue)
        relayProbe();
    return up ? std::move(*relayed) : url;
}

void TileRelay::relayProbe()
{
    auto request = platform::HttpRequest::get(hosts_.origin(*hosts_.relayHost) + "/" + std::string(kStatusPath));
    request.idleTimeoutSeconds = kProbeTimeoutSeconds;
    request.overallTimeoutSeconds = kProbeTimeoutSeconds;
    auto task = session_.start(std::move(request), inline_, [state = state_](platform::HttpResult result) {
        const bool up = result.response && result.response->status == 200;
        std::lock_guard lock(state->mutex);
        state->up = up;
    });
    platform::HttpTask finished;
    {
        std::lock_guard lock(probeMutex_);
        finished = std::exchange(probe_, std::move(task));
    }
}

} // namespace velorin
