#include "map-data/TerrainDownload.h"

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr int kStatusOK = 200;

std::vector<std::byte> bytesOf(const std::string& body)
{
    const auto* data = reinterpret_cast<const std::byte*>(body.data());
    return { data, data + body.size() };
}

} // namespace

TerrainDownload::TerrainDownload(TerrainService& service, TerrainService::Key key)
    : key_(key)
    , store_(service.store_)
    , session_(service.session_)
    , relay_(service.relay_)
    , hosts_(service.hosts_)
    , mainQueue_(service.mainQueue_)
    , work_(service.work_)
    , service_(service.lifetime_)
{
}

void TerrainDownload::start()
{
    const std::string url = TerrainService::usesIGN(key_.z, key_.x, key_.y)
        ? TerrainService::ignElevationURL(hosts_, key_)
        : TerrainService::terrariumURL(hosts_, key_);
    fetch(url, [self = shared_from_this()](platform::HttpResult result) { self->primaryArrived(std::move(result)); });
}

void TerrainDownload::startFilling(ElevationGrid partial)
{
    work_.post([self = shared_from_this(), partial = std::move(partial)]() mutable { self->fill(std::move(partial)); });
}

void TerrainDownload::cancel()
{
    platform::HttpTask transfer;
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        transfer = std::move(transfer_);
    }
    // Outside the lock: cancelling waits for a completion that is running, and that
    // completion may be about to take the lock.
    transfer.cancel();
}

void TerrainDownload::fetch(const std::string& url, std::function<void(platform::HttpResult)> then)
{
    auto request = platform::HttpRequest::get(relay_ ? relay_->relayedURL(url) : url);
    std::lock_guard lock(mutex_);
    if (cancelled_)
        return;
    transfer_ = session_.start(std::move(request), work_, std::move(then));
}

void TerrainDownload::primaryArrived(platform::HttpResult result)
{
    if (!result.response)
        return fail(0);
    if (result.response->status != kStatusOK)
        return fail(result.response->status);
    auto bytes = bytesOf(result.response->body);
    auto grid = TerrainService::decodeTerrarium(bytes);
    if (!grid)
        return fail(0);
    store_.write(std::move(bytes), TerrainService::diskKey(key_.z, key_.x, key_.y));
    ElevationGrid masked = TerrainService::franceMasked(std::move(*grid), key_.z, key_.x, key_.y);
    if (hasHoles(masked))
        fill(std::move(masked));
    else
        succeed(std::move(masked));
}

void TerrainDownload::fill(ElevationGrid grid)
{
    const auto fillKey = TerrainService::terrariumFillKey(key_);
    if (auto file = store_.read(TerrainService::terrariumDiskKey(fillKey.z, fillKey.x, fillKey.y))) {
        if (auto terrarium = TerrainService::decodeTerrarium(file->bytes()))
            return succeed(TerrainService::filledFromTerrarium(std::move(grid), *terrarium, key_));
    }
    fetch(TerrainService::terrariumURL(hosts_, fillKey),
        [self = shared_from_this(), grid = std::move(grid)](platform::HttpResult result) mutable {
            self->fillArrived(std::move(grid), std::move(result));
        });
}

void TerrainDownload::fillArrived(ElevationGrid grid, platform::HttpResult result)
{
    // Without Terrarium the holes stay holes: the key fails and is tried again later,
    // rather than keeping cliffs down to 0 m along the border for the whole session.
    if (!result.response)
        return fail(0);
    if (result.response->status != kStatusOK)
        return fail(result.response->status);
    auto bytes = bytesOf(result.response->body);
    auto terrarium = TerrainService::decodeTerrarium(bytes);
    if (!terrarium)
        return fail(0);
    const auto fillKey = TerrainService::terrariumFillKey(key_);
    store_.write(std::move(bytes), TerrainService::terrariumDiskKey(fillKey.z, fillKey.x, fillKey.y));
    succeed(TerrainService::filledFromTerrarium(std::move(grid), *terrarium, key_));
}

void TerrainDownload::succeed(ElevationGrid grid)
{
    report(std::move(grid), 0);
}

void TerrainDownload::fail(int status)
{
    report(std::nullopt, status);
}

void TerrainDownload::report(std::optional<ElevationGrid> grid, int failedStatus)
{
    {
        std::lock_guard lock(mutex_);
        if (cancelled_)
            return;
    }
    mainQueue_.post([service = service_, key = key_, grid = std::move(grid), failedStatus]() mutable {
        if (auto self = service.lock())
            (*self)->finished(key, std::move(grid), failedStatus);
    });
}

} // namespace velorin
