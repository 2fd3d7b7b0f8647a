#include "features/ForestLoader.h"

#include "features/AerialTiles.h"
#include "features/CanopyGrid.h"
#include "features/TreePlacement.h"
#include "renderer/TileCover.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace velorin {

ForestLoader::ForestLoader(DiskStore& store, platform::HttpSession& session, ServiceHosts hosts,
    platform::MainQueue& mainQueue, platform::Clock& clock, TileRelay* relay)
    : mainQueue_(mainQueue)
    , clock_(clock)
    , relay_(relay)
    , work_(std::make_shared<Work>(store, std::move(hosts), session, relay))
    , lifetime_(std::make_shared<ForestLoader*>(this))
    , queue_("com.vask.velorin.forest", int(kMaxTreeLoads + kMaxCanopyLoads))
{
}

ForestLoader::~ForestLoader()
{
    lifetime_.reset();
    work_->fetch.stop();
    queue_.cancelAll();
}

std::string ForestLoader::forestTileURL(const ServiceHosts& hosts, std::int64_t z, std::int64_t x, std::int64_t y)
{
    // The query items and their order are the request: relays and caches key on the URL.
    return fmt::format("{}/wmts?SERVICE=WMTS&REQUEST=GetTile&VERSION=1.0.0&LAYER=LANDCOVER.FORESTINVENTORY.V2"
                       "&STYLE=normal&TILEMATRIXSET=PM_6_16&TILEMATRIX={}&TILEROW={}&TILECOL={}&FORMAT=image/png",
        hosts.origin(hosts.ignHost), z, y, x);
}

std::string ForestLoader::forestDiskKey(std::int64_t z, std::int64_t x, std::int64_t y)
{
    return fmt::format("forest/{}/{}_{}.png", z, x, y);
}

FileBatchDownload::Item ForestLoader::download(const Key& key) const
{
    const std::string upstream = forestTileURL(work_->hosts, key.z, key.x, key.y);
    return {forestDiskKey(key.z, key.x, key.y), relay_ ? relay_->relayedURL(upstream) : upstream};
}

void ForestLoader::request(const WorldRect& rect)
{
    start(trees_, rect, kMaxTreeCover, kMaxTreeLoads, kMaxTreeTiles,
        [](Work& work, const Key& key) { return work.trees(key); });
}

void ForestLoader::requestCanopy(const WorldRect& rect)
{
    start(canopies_, rect, kMaxCanopyCover, kMaxCanopyLoads, kMaxCanopyTiles,
        [](Work& work, const Key& key) { return work.canopy(key); });
}

template <typename Value, typename Make>
void ForestLoader::start(Pipeline<Value>& pipeline, const WorldRect& rect, std::size_t maxCover, std::size_t maxLoads,
    std::size_t maxTiles, Make make)
{
    if (tileCoverCount(rect) > maxCover)
        return;
    const double now = clock_.now();
    for (const Key& key : tileCoverNearestFirst(rect)) {
        if (pipeline.table.contains(key) || pipeline.loading.contains(key) || pipeline.loading.size() >= maxLoads)
            continue;
        if (const auto failed = pipeline.failedAt.find(key);
            failed != pipeline.failedAt.end() && now - failed->second < kRetryAfterFailureSeconds)
            continue;
        pipeline.loading.insert(key);
        queue_.add([work = work_, key, make, weak = std::weak_ptr(lifetime_), &mainQueue = mainQueue_, &pipeline,
                       maxTiles] {
            std::optional<Value> result = make(*work, key);
            mainQueue.post([weak, key, &pipeline, maxTiles, result = std::move(result)]() mutable {
                if (auto alive = weak.lock())
                    (*alive)->finish(pipeline, maxTiles, key, std::move(result));
            });
        });
    }
}

template <typename Value>
void ForestLoader::finish(Pipeline<Value>& pipeline, std::size_t maxTiles, const Key& key, std::optional<Value> result)
{
    pipeline.loading.erase(key);
    if (!result) {
        pipeline.failedAt[key] = clock_.now();
        return;
    }
    pipeline.table.insert_or_assign(key, std::move(*result));
    std::erase(pipeline.recent, key);
    if (pipeline.recent.size() >= maxTiles) {
        pipeline.table.erase(pipeline.recent.front());
        pipeline.recent.pop_front();
    }
    pipeline.recent.push_back(key);
    if (onChange)
        onChange();
}

std::optional<ForestKinds> ForestLoader::Work::kinds(const Key& key)
{
    const std::string diskKey = forestDiskKey(key.z, key.x, key.y);
    if (auto file = store.read(diskKey); file && file->size() > 0) {
        if (auto kinds = classifyKinds(file->bytes()))
            return kinds;
        // A damaged copy is dropped and the tile asked for again.
        store.removeCached(diskKey);
    }
    auto body = fetch.get(forestTileURL(hosts, key.z, key.x, key.y));
    if (!body)
        return std::nullopt;
    auto kinds = classifyKinds(*body);
    if (kinds)
        store.write(std::move(*body), diskKey);
    return kinds;
}

std::optional<std::vector<ForestService::Tree>> ForestLoader::Work::trees(const Key& key)
{
    const auto kinds = this->kinds(key);
    if (!kinds)
        return std::nullopt;
    if (!hasForest(*kinds))
        return std::vector<Tree>{};
    const auto tiles = AerialTiles::orthophotoTiles(hosts, int(key.z), key.x, key.y);
    const auto images = AerialTiles::collect(tiles, store, fetch);
    std::optional<TreePlacement::Mosaic> mosaic;
    if (!tiles.empty() && images.size() == tiles.size())
        mosaic = TreePlacement::orthophotoMosaic(images);
    return TreePlacement::trees(*kinds, mosaic, int(key.z), key.x, key.y);
}

std::optional<ForestService::Canopy> ForestLoader::Work::canopy(const Key& key)
{
    const auto kinds = this->kinds(key);
    if (!kinds)
        return std::nullopt;
    if (!hasForest(*kinds))
        return CanopyGrid::bare();
    const auto tiles = AerialTiles::orthophotoTiles(hosts, int(key.z), key.x, key.y);
    const auto images = AerialTiles::collect(tiles, store, fetch);
    if (tiles.empty() || images.size() != tiles.size())
        return std::nullopt;
    const auto mosaic = TreePlacement::orthophotoMosaic(images);
    if (!mosaic)
        return std::nullopt;
    return CanopyGrid::make(*kinds, *mosaic, int(key.z), key.x, key.y);
}

} // namespace velorin
