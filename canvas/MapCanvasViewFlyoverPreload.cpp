// The flyover preload: everything the flyover's cameras will show along the whole path,
// worked out at its start and fetched in the order the flight needs it, with the progress
// turned into how far the flyover may fly.

#include "canvas/MapCanvasView.h"
#include "canvas/PreloadList.h"
#include "map-data/TileLoader.h"
#include "renderer/BuildingService.h"
#include "renderer/ForestService.h"
#include "renderer/ParallelMap.h"
#include "renderer/PixelScale.h"
#include "renderer/TileCover.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace velorin {

Camera MapCanvasView::flyoverSampleCamera(const Flyover& flyover) const
{
    // Every sample flies at the framing of the start, whatever the relief makes of it later.
    const double height = flyover.behind * Flyover::style(flyover.mode).heightFactor;
    const FlyoverFraming framing = flyoverFraming(flyover.path.front(), flyover.behind, height);
    Camera look;
    look.zoom = framing.zoom;
    look.pitch = framing.pitch;
    look.viewSize = pixelScale(window_.boundsInPoints(), window_.screenScale());
    look.focalLength = kFlyoverFocalLength;
    return look;
}

VisibleTiles MapCanvasView::sampleTiles(const Flyover& flyover, double distance, Camera look) const
{
    look.center = flyover.point(distance);
    const double heading = flyover.heading(distance).value_or(0);
    VisibleTiles seen;
    for (double offset : Flyover::style(flyover.mode).preloadBearingOffsets) {
        look.bearing = Camera::wrapAngle(heading + offset);
        VisibleTiles one = renderer_->visibleTiles(look);
        seen.tiles.merge(one.tiles);
        seen.terrain.merge(one.terrain);
    }
    return seen;
}

VisibleTiles MapCanvasView::flyoverTiles(const Flyover& flyover, double distance) const
{
    if (flyover.path.empty())
        return {};
    return sampleTiles(flyover, distance, flyoverSampleCamera(flyover));
}

MapCanvasView::FlyoverPreloadList MapCanvasView::flyoverPreloadList(const Flyover& flyover) const
{
    FlyoverPreloadList list;
    list.readiness.flyoverId = flyover.id;
    if (flyover.path.empty())
        return list;
    const Camera look = flyoverSampleCamera(flyover);
    const double spacing = std::max(kMinFlyoverSampleMeters, kFlyoverSampleBehinds * flyover.behind);
    // A path's length is a sum of rounded segments: a sample this close to its end is on it.
    constexpr double kEndToleranceMeters = 1e-6;
    std::vector<double> samples;
    for (int i = 0; i * spacing <= flyover.totalLength() + kEndToleranceMeters; ++i)
        samples.push_back(i * spacing);
    list.samples = int(samples.size());
    list.cameras = list.samples * int(Flyover::style(flyover.mode).preloadBearingOffsets.size());

    // The first sample is worked out here, which hands the renderer's live display options
    // to the workers that take the others.
    std::vector<VisibleTiles> seen;
    seen.reserve(samples.size());
    seen.push_back(sampleTiles(flyover, samples.front(), look));
    const std::vector<double> others(samples.begin() + 1, samples.end());
    list.parallel = samples.size() >= kParallelFlyoverSamples;
    if (list.parallel) {
        for (VisibleTiles& tiles :
            parallelMap(others, [this, &flyover, &look](double d) { return sampleTiles(flyover, d, look); }))
            seen.push_back(std::move(tiles));
    } else {
        for (double d : others)
            seen.push_back(sampleTiles(flyover, d, look));
    }

    // The loader fetches only the keys that have a file of their own: a checkpoint counts
    // those, as the loader's progress does.
    PreloadList order;
    std::size_t counted = 0;
    std::int64_t fetched = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        order.add(seen[i]);
        for (; counted < order.tiles().size(); ++counted)
            fetched += !services_.loader || services_.loader->preloadItem(order.tiles()[counted]) ? 1 : 0;
        list.readiness.checkpoints.push_back({samples[i], fetched});
    }
    list.tiles = order.tiles();
    const ServiceHosts hosts = services_.loader ? services_.loader->hosts() : ServiceHosts{};
    list.extras = order.elevationDownloads(hosts);

    if (renderer_->showsTrees) {
        // The zoom-15 tiles of a band around the path, each once, in the order the path
        // reaches them.
        const double reach = kFlyoverExtrasReachMeters / flyover.path.front().metersPerWorldUnit();
        std::vector<ForestService::Key> band;
        std::unordered_set<ForestService::Key, ForestService::KeyHash> inBand;
        for (double d : samples) {
            const WorldPoint at = flyover.point(d);
            for (const ForestService::Key& key : tileCover({at.x - reach, at.y - reach, at.x + reach, at.y + reach})) {
                if (inBand.insert(key).second)
                    band.push_back(key);
            }
        }
        if (services_.forest) {
            for (const ForestService::Key& key : band)
                list.extras.push_back(services_.forest->download(key));
        }
        if (services_.loader) {
            for (const ForestService::Key& key : band) {
                const std::int64_t n = std::int64_t(1) << (kFlyoverAerialLevel - key.z);
                for (std::int64_t row = key.y * n; row < key.y * n + n; ++row) {
                    for (std::int64_t column = key.x * n; column < key.x * n + n; ++column) {
                        if (auto item = services_.loader->download(
                                TileKey::webTile(Basemap(Basemap::orthophoto).index(), kFlyoverAerialLevel, column, row)))
                            list.extras.push_back(std::move(*item));
                    }
                }
            }
        }
        if (services_.buildings) {
            for (const ForestService::Key& key : band)
                list.extras.push_back(services_.buildings->download(key));
        }
    }
    list.readiness.extraCount = std::int64_t(list.extras.size());
    return list;
}

void MapCanvasView::preloadFlyoverTiles(const Flyover& flyover)
{
    if (!services_.loader)
        return;
    if (flyover_) {
        flyover_->preparing = true;
        flyover_->preparingSince = now();
    }
    if (flyover.path.empty())
        return;
    FlyoverPreloadList list = flyoverPreloadList(flyover);
    if (flyover_)
        flyover_->readyDistance = 0;
    if (onFlyoverProgress)
        onFlyoverProgress(0.0);
    if (!flyover_ || flyover_->id != flyover.id)
        return;
    flyoverPreload_.reset();
    std::weak_ptr<MapCanvasView> weak = weak_from_this();
    flyoverPreload_ = services_.loader->preload(list.tiles, std::move(list.extras),
        [weak, readiness = std::move(list.readiness)](std::int64_t done, std::int64_t total) {
            if (auto self = weak.lock())
                self->flyoverPreloadProgress(readiness, done, total);
        });
}

void MapCanvasView::flyoverPreloadProgress(const FlyoverReadiness& readiness, std::int64_t done, std::int64_t total)
{
    if (!flyover_ || flyover_->id != readiness.flyoverId)
        return;
    Flyover& flyover = *flyover_;
    if (!flyover.preloadGivenUp)
        flyover.readyDistance = readiness.readyDistance(done, total);
    // The wait for departure starts once the first 20 s of nominal flight are ready.
    if (flyover.preparing
        && flyover.readyDistance >= std::min(kFlyoverPreparedSeconds * flyover.speed, flyover.totalLength())) {
        flyover.preparing = false;
        flyover.waitStart.reset();
    }
    if (onFlyoverProgress)
        onFlyoverProgress(done < total ? std::optional(double(done) / double(std::max<std::int64_t>(total, 1)))
                                       : std::nullopt);
}

} // namespace velorin
