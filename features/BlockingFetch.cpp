#include "features/BlockingFetch.h"

#include "map-data/TileLoader.h"

#include <span>

namespace velorin {

namespace {
constexpr int kStatusOK = 200;
static_assert(BlockingFetch::kIdleTimeoutSeconds == TileLoader::kTransferIdleTimeoutSeconds,
    "feature files wait for their bytes as long as map tiles do");
} // namespace

BlockingFetch::BlockingFetch(platform::HttpSession& session, TileRelay* relay, double idleTimeoutSeconds)
    : relay_(relay)
    , idleTimeoutSeconds_(idleTimeoutSeconds)
    , fetches_(session, clock_)
{
}

std::optional<std::vector<std::byte>> BlockingFetch::get(const std::string& upstreamURL)
{
    platform::HttpRequest request = platform::HttpRequest::get(relay_ ? relay_->relayedURL(upstreamURL) : upstreamURL);
    request.idleTimeoutSeconds = idleTimeoutSeconds_;
    const auto result = fetches_.fetch(std::move(request));
    if (!result || !result->response || result->response->status != kStatusOK)
        return std::nullopt;
    const std::string& body = result->response->body;
    const auto bytes = std::as_bytes(std::span(body.data(), body.size()));
    return std::vector<std::byte>(bytes.begin(), bytes.end());
}

} // namespace velorin
