#include "map-data/TerrainService.h"

#include "map-data/TerrainDownload.h"

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr int kStatusTooManyRequests = 429;

} // namespace

TerrainService::TerrainService(DiskStore& store, platform::HttpSession& session, ServiceHosts hosts,
    platform::MainQueue& mainQueue, platform::Clock& clock, TileRelay* relay, std::size_t budgetGrids)
    : store_(store)
    , session_(session)
    , hosts_(std::move(hosts))
    , mainQueue_(mainQueue)
    , clock_(clock)
    , relay_(relay)
    , tiles_(budgetGrids)
    , work_("com.vask.velorin.terrain")
    , lifetime_(std::make_shared<TerrainService*>(this))
{
}

TerrainService::~TerrainService()
{
    lifetime_.reset();
    for (auto& [key, download] : loading_)
        download->cancel();
}

void TerrainService::load(const Key& key)
{
    if (tiles_.contains(key) || loading_.contains(key))
        return;
    if (auto retry = retryAt_.find(key); retry != retryAt_.end() && retry->second > clock_.now())
        return;

    std::optional<ElevationGrid> partial;
    if (auto file = store_.read(diskKey(key.z, key.x, key.y))) {
        if (auto grid = decodeTerrarium(file->bytes())) {
            ElevationGrid masked = franceMasked(std::move(*grid), key.z, key.x, key.y);
            if (!hasHoles(masked))
                return storeGrid(key, std::move(masked));
            partial = std::move(masked);
        }
    }

    if (loading_.size() >= kMaxConcurrentDownloads)
        return;
    auto download = std::make_shared<TerrainDownload>(*this, key);
    loading_.emplace(key, download);
    if (partial)
        download->startFilling(std::move(*partial));
    else
        download->start();
}

void TerrainService::prefetch(int zoom, const WorldRect& rect)
{
    for (const Key& key : tileKeys(zoom, rect))
        load(key);
}

void TerrainService::finished(const Key& key, std::optional<ElevationGrid> grid, int failedStatus)
{
    loading_.erase(key);
    if (!grid) {
        const double delay = failedStatus == kStatusTooManyRequests ? kRetryAfterRateLimitSeconds : kRetryAfterFailureSeconds;
        retryAt_[key] = clock_.now() + delay;
        return;
    }
    retryAt_.erase(key);
    storeGrid(key, std::move(*grid));
}

void TerrainService::storeGrid(const Key& key, ElevationGrid grid)
{
    tiles_.store(key, std::move(grid));
    if (onChange)
        onChange();
}

} // namespace velorin
