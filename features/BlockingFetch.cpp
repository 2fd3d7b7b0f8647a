#include "features/BlockingFetch.h"

#include <span>

namespace velorin {

namespace {
constexpr int kStatusOK = 200;
} // namespace

BlockingFetch::BlockingFetch(platform::HttpSession& session, TileRelay* relay)
    : relay_(relay)
    , fetches_(session, clock_)
{
}

std::optional<std::vector<std::byte>> BlockingFetch::get(const std::string& upstreamURL)
{
    platform::HttpRequest request = platform::HttpRequest::get(relay_ ? relay_->relayedURL(upstreamURL) : upstreamURL);
    request.overallTimeoutSeconds = kOverallTimeoutSeconds;
    const auto result = fetches_.fetch(std::move(request));
    if (!result || !result->response || result->response->status != kStatusOK)
        return std::nullopt;
    const std::string& body = result->response->body;
    const auto bytes = std::as_bytes(std::span(body.data(), body.size()));
    return std::vector<std::byte>(bytes.begin(), bytes.end());
}

} // namespace velorin
