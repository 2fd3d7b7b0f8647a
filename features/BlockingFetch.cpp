#include "features/BlockingFetch.h"

namespace velorin {

namespace {
constexpr int kStatusOK = 200;
} // namespace

BlockingFetch::BlockingFetch(platform::HttpSession& session, TileRelay* relay)
    : session_(session)
    , relay_(relay)
{
}

std::optional<std::vector<std::byte>> BlockingFetch::get(const std::string& upstreamURL)
{
    {
        std::lock_guard lock(state_->mutex);
        if (state_->stopped)
            return std::nullopt;
    }
    platform::HttpRequest request = platform::HttpRequest::get(relay_ ? relay_->relayedURL(upstreamURL) : upstreamURL);
    request.overallTimeoutSeconds = kOverallTimeoutSeconds;
    const auto answer = std::make_shared<std::optional<platform::HttpResult>>();
    platform::HttpTask task = session_.start(std::move(request), inline_,
        [state = state_, answer](platform::HttpResult result) {
            std::lock_guard lock(state->mutex);
            *answer = std::move(result);
            state->changed.notify_all();
        });
    std::optional<platform::HttpResult> result;
    {
        std::unique_lock lock(state_->mutex);
        state_->changed.wait(lock, [&] { return answer->has_value() || state_->stopped; });
        if (answer->has_value())
            result = std::move(*answer);
    }
    // Outside the lock: cancelling waits for a completion that may be taking it.
    task.cancel();
    if (!result || !result->response || result->response->status != kStatusOK)
        return std::nullopt;
    const std::string& body = result->response->body;
    const auto bytes = std::as_bytes(std::span(body.data(), body.size()));
    return std::vector<std::byte>(bytes.begin(), bytes.end());
}

void BlockingFetch::stop()
{
    std::lock_guard lock(state_->mutex);
    state_->stopped = true;
    state_->changed.notify_all();
}

} // namespace velorin
