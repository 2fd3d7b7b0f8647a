#include "map-data/TileLoaderEngine.h"

#include "map-data/Basemap.h"

namespace velorin {

namespace {

constexpr int kStatusBadRequest = 400;
constexpr int kStatusNotFound = 404;
constexpr int kStatusTooManyRequests = 429;
constexpr int kFirstServerErrorStatus = 500;

} // namespace

void TileLoaderEngine::startFetch(const TileKey& key, const std::string& path)
{
    auto url = fetchURL(key, catalog_, hosts_, relayed_);
    if (!url) {
        // No host configured for it: nothing to ask, so wait as after a failure.
        retryAfter_[key] = clock_->now() + kRetryAfterFailureSeconds;
        return;
    }
    loading_.insert(key);
    auto request = platform::HttpRequest::get(std::move(*url));
    request.idleTimeoutSeconds = TileLoader::kTransferIdleTimeoutSeconds;
    if (std::holds_alternative<TileKey::Subtile>(key.value))
        request.priority = platform::HttpPriority::high;
    auto id = ++lastTransferId_;
    auto task = session_->start(std::move(request), transferInbox_,
        [weak = weak_from_this(), key, id, path](platform::HttpResult result) {
            auto engine = weak.lock();
            if (!engine)
                return;
            // Handled in a block of its own, behind any wish-list change already queued:
            // the transfer id then tells whether this is still the key's transfer.
            engine->post(engine->queues_.queue,
                [key, id, path, result = std::move(result)](TileLoaderEngine& engine) mutable {
                    engine.handleFetchResult(key, id, path, std::move(result));
                });
        });
    networkTasks_[key] = Transfer { id, std::move(task) };
}

void TileLoaderEngine::handleFetchResult(const TileKey& key, std::uint64_t transferId, const std::string& path,
    platform::HttpResult result)
{
    auto transfer = networkTasks_.find(key);
    if (transfer == networkTasks_.end() || transfer->second.id != transferId) {
        // A transfer cancelled by a new wish list: its key's entries, if any, belong to a
        // newer transfer.
        schedulePump();
        return;
    }
    networkTasks_.erase(transfer);

    if (result.isSuccess()) {
        noteTransport(true, result);
        post(workQueue(key), [key, path, body = std::move(result.response->body)](TileLoaderEngine& engine) {
            engine.deliverTile(key, std::as_bytes(std::span(body.data(), body.size())), true, false, path);
        });
        return;
    }

    int status = result.response ? result.response->status : 0;
    if (status == kStatusBadRequest || status == kStatusNotFound) {
        auto web = std::get_if<TileKey::WebTile>(&key.value);
        if (web && web->source == Basemap::orthophoto && goesToMosaic(key)) {
            post(queues_.mosaic, [key, path](TileLoaderEngine& engine) { engine.composeAfterMiss(key, path); });
            return;
        }
        store_->write({}, path);
    }
    loading_.erase(key);
    double holdOff = status == kStatusTooManyRequests ? kRetryAfterRateLimitSeconds : kRetryAfterFailureSeconds;
    retryAfter_[key] = clock_->now() + holdOff;
    noteTransport(false, result);
    schedulePump();
}

void TileLoaderEngine::noteTransport(bool success, const platform::HttpResult& result)
{
    double now = clock_->now();
    if (success) {
        if (!lastTransportFailure_ || now - *lastTransportFailure_ > kTransportQuietSeconds)
            publisher_->change(true, [](TileLoaderStatus& status) { status.transportFailures = 0; });
        return;
    }
    bool counts = result.error || (result.response && result.response->status >= kFirstServerErrorStatus);
    if (!counts)
        return;
    bool remembered = lastTransportFailure_ && now - *lastTransportFailure_ <= kTransportFailureMemorySeconds;
    lastTransportFailure_ = now;
    publisher_->change(true, [remembered](TileLoaderStatus& status) {
        status.transportFailures = remembered ? status.transportFailures + 1 : 1;
    });
}

} // namespace velorin
