#include "canvas/AppleMapLayer.h"

#include "map-data/TileRelay.h"
#include "map-data/TileSources.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

} // namespace

AppleMapLayer::AppleMapLayer(std::shared_ptr<platform::MapView> mapView, Sources sources)
    : mapView_(std::move(mapView))
    , sources_(std::move(sources))
{
    // Both reports carry the map's camera; a change at rest is never the user's.
    mapView_->onCameraChanged = [this](const platform::MapCamera& camera, bool userMoving) {
        if (onCameraChanged)
            onCameraChanged(camera, userMoving);
    };
    mapView_->onRegionChanged = [this](const platform::MapCamera& camera) {
        if (onCameraChanged)
            onCameraChanged(camera, false);
    };
}

void AppleMapLayer::apply(Basemap basemap)
{
    basemap_ = basemap;
    const bool satellite = basemap == Basemap::appleSatellite;
    platform::MapTileSource source;
    source.name = satellite ? "satellite" : "plan";
    source.url = [hosts = sources_.hosts, basemap](int z, int64_t x, int64_t y) {
        return worldMapTileURL(hosts, basemap, z, x, y);
    };
    source.maxLevel = satellite ? kSatelliteMaxLevel : kPlanMaxLevel;
    mapView_->setTileSource(std::move(source));
}

void AppleMapLayer::setShowsCommerce(bool on)
{
    if (on == showsCommerce_)
        return;
    showsCommerce_ = on;
    apply(basemap_);
}

platform::MapColor AppleMapLayer::color(std::optional<TravelMode> mode)
{
    if (!mode)
        return {1.0, 0.36, 0.05, kLineAlpha};
    switch (*mode) {
    case TravelMode::walking:
    case TravelMode::running:
    case TravelMode::cycling:
        return {0.16, 0.78, 0.35, kLineAlpha};
    case TravelMode::automotive:
    case TravelMode::stationary:
        return {0.15, 0.52, 1.0, kLineAlpha};
    }
    return {1.0, 0.36, 0.05, kLineAlpha};
}

platform::MapCoordinate AppleMapLayer::coordinate(WorldPoint point)
{
    return {point.latitude(), point.longitude()};
}

void AppleMapLayer::setTrack(const std::vector<TrackDisplayPoint>& points)
{
    trackLines_.clear();
    if (points.size() >= 2) {
        // Runs of one travel mode; each after the first starts where the one before ended.
        struct Run {
            std::optional<TravelMode> mode;
            std::vector<platform::MapCoordinate> coordinates;
        };
        std::vector<Run> runs;
        for (const TrackDisplayPoint& point : points) {
            if (runs.empty() || runs.back().mode != point.mode) {
                Run run {point.mode, {}};
                if (!runs.empty())
                    run.coordinates.push_back(runs.back().coordinates.back());
                runs.push_back(std::move(run));
            }
            runs.back().coordinates.push_back(coordinate(point.world));
        }
        for (const Run& run : runs)
            trackLines_.push_back({run.coordinates, {kCasingWhite, kCasingWhite, kCasingWhite, kCasingAlpha}, true});
        for (const Run& run : runs)
            trackLines_.push_back({run.coordinates, color(run.mode), false});
    }
    std::vector<platform::MapPolyline> lines;
    lines.reserve(trackLines_.size());
    for (const TrackLine& line : trackLines_)
        lines.push_back({line.coordinates, line.color, line.isCasing});
    mapView_->setPolylines(std::move(lines));
}

void AppleMapLayer::setSlopes(bool on)
{
    showsSlopes_ = on;
    mapView_->setTileOverlay(on ? std::optional(SlopesOverlay::make(*this)) : std::nullopt);
}

void AppleMapLayer::setPosition(std::optional<WorldPoint> position)
{
    mapView_->setPositionDot(position ? std::optional(coordinate(*position)) : std::nullopt);
}

platform::MapTileSource AppleMapLayer::SlopesOverlay::make(const AppleMapLayer& layer)
{
    platform::MapTileSource source;
    source.name = "slopes";
    source.url = [sources = layer.sources_](int z, int64_t x, int64_t y) {
        return std::optional(slopesTileURL(sources, x, y, z));
    };
    source.maxLevel = kSlopesMaxLevel;
    return source;
}

std::string AppleMapLayer::slopesTileURL(int64_t x, int64_t y, int z) const
{
    return slopesTileURL(sources_, x, y, z);
}

std::string AppleMapLayer::slopesTileURL(const Sources& sources, int64_t x, int64_t y, int z)
{
    auto url = basemapTileURL(sources.hosts, Basemap::slopes, z, x, y);
    if (!url)
        return "about:blank";
    return sources.relay ? sources.relay->relayedURL(std::move(*url)) : std::move(*url);
}

platform::MapCamera AppleMapLayer::mapCamera(const Camera& camera)
{
    const platform::MapCoordinate centre = coordinate(camera.center);
    const double metres = camera.center.metersPerPixel(camera.zoom);
    return {centre.latitude, centre.longitude, metres * camera.viewSize.height * kDistanceViewHeights,
        camera.pitch * kDegreesPerRadian, camera.bearing * kDegreesPerRadian};
}

Camera AppleMapLayer::camera(const platform::MapCamera& map, Camera::Size viewSize)
{
    Camera camera;
    const double latitude = std::clamp(map.latitude, -kMaxMercatorLatitudeDegrees, kMaxMercatorLatitudeDegrees);
    camera.center = WorldPoint::fromLatitudeLongitude(latitude, map.longitude);
    const double metres = map.distance / (std::max(viewSize.height, 1.0) * kDistanceViewHeights);
    camera.zoom = metres > 0
        ? std::log2(std::cos(latitude / kDegreesPerRadian) * kEarthCircumferenceMeters / metres / kWorldPixelsAtZoomZero)
        : 0;
    camera.viewSize = viewSize;
    camera.bearing = Camera::wrapAngle(map.heading / kDegreesPerRadian);
    camera.pitch = std::clamp(map.pitch / kDegreesPerRadian, 0.0, kMaxPitchRadians);
    camera.focalLength = kDistanceViewHeights;
    return camera;
}

} // namespace velorin
