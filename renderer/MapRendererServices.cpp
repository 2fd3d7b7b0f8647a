#include "renderer/MapRenderer.h"

#include "map-data/TerrainService.h"
#include "map-data/TextureCache.h"
#include "map-data/TileLoader.h"

#include <algorithm>

namespace velorin {

ReliefGeometry MapRenderer::relief() const
{
    ReliefGeometry::Elevation elevation;
    if (terrain) {
        elevation = [service = terrain.get(), zoom = frame.frameTerrainZoom](WorldPoint point) {
            return service->elevationAt(point.x, point.y, zoom);
        };
    }
    return ReliefGeometry(frame.frameHeightScale, frame.frameBaseElevation, std::move(elevation));
}

ReliefGeometry::Eye MapRenderer::eyePosition(const Camera& camera, std::optional<double> pitch) const
{
    return relief().eyePosition(camera, pitch);
}

std::optional<Camera> MapRenderer::lookAtCamera(
    WorldPoint target, WorldPoint eye, double altitude, const Camera& look) const
{
    return relief().lookAtCamera(target, eye, altitude, look);
}

std::optional<Camera> MapRenderer::cameraFromEye(
    WorldPoint eye, double altitude, double bearing, double pitch, const Camera& look) const
{
    return relief().cameraFromEye(eye, altitude, bearing, pitch, look);
}

std::optional<Camera> MapRenderer::nearestTerrainHit(const Camera& camera) const
{
    return relief().nearestTerrainHit(camera);
}

std::optional<WorldPoint> MapRenderer::terrainPoint(Camera::Point screen, const Camera& camera) const
{
    return relief().terrainPoint(screen, camera);
}

bool MapRenderer::isHiddenByTerrain(WorldPoint point) const
{
    return relief().isHiddenByTerrain(point, camera);
}

void MapRenderer::resetBaseElevation(WorldPoint point, double now)
{
    if (frame.frameHeightScale != 0 && terrain)
        frame.frameBaseElevation = terrain->elevationAt(point.x, point.y, frame.frameTerrainZoom);
    smoothedBase = SmoothedBase{frame.frameBaseElevation, now};
}

void MapRenderer::publishTileSettings() const
{
    const VisibleTiles::Settings live{basemap, showsSlopes, contentScale, detailBias};
    const std::lock_guard lock(tileSettingsMutex_);
    tileSettings_ = live;
}

VisibleTiles MapRenderer::visibleTiles(const Camera& forCamera) const
{
    if (std::this_thread::get_id() == guiThread_)
        publishTileSettings();
    VisibleTiles::Settings settings;
    {
        const std::lock_guard lock(tileSettingsMutex_);
        settings = tileSettings_;
    }
    return VisibleTiles::of(forCamera, settings);
}

bool MapRenderer::allCached(const std::vector<TileKey>& keys) const
{
    const TextureCache* cache = textures.get();
    if (cache == nullptr)
        return true;
    return std::all_of(keys.begin(), keys.end(), [cache](const TileKey& key) { return cache->contains(key); });
}

bool MapRenderer::isDesiredCached() const
{
    return allCached(desired);
}

bool MapRenderer::isNearDesiredCached() const
{
    return allCached(nearDesired);
}

} // namespace velorin
