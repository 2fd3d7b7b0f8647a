#include "renderer/VisibleTiles.h"

#include "renderer/DesiredTileBand.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace velorin {

namespace {

struct TileRange {
    long long x0 = 0;
    long long x1 = -1;
    long long y0 = 0;
    long long y1 = -1;

    long long count() const { return x1 < x0 || y1 < y0 ? 0 : (x1 - x0 + 1) * (y1 - y0 + 1); }
};

TileRange tileRange(const WorldRect& rect, int level)
{
    const double n = std::exp2(level);
    const auto index = [n](double world) {
        const double at = std::floor(world * n);
        return std::isnan(at) ? -1LL : (long long)(std::clamp(at, -1.0, n));
    };
    return {std::max(0LL, index(rect.minX)), std::min((long long)(n) - 1, index(rect.maxX)),
        std::max(0LL, index(rect.minY)), std::min((long long)(n) - 1, index(rect.maxY))};
}

// Whether a tile's corners, projected on the flat ground plane, fall in or near the view.
bool isOnScreen(const Camera& camera, long long z, long long x, long long y)
{
    const double d = 1 / std::exp2(double(z));
    const double width = camera.viewSize.width;
    const double height = camera.viewSize.height;
    double minX = std::numeric_limits<double>::infinity();
    double maxX = -minX;
    double minY = minX;
    double maxY = -minX;
    for (const WorldPoint corner : {WorldPoint{x * d, y * d}, WorldPoint{(x + 1) * d, y * d},
             WorldPoint{(x + 1) * d, (y + 1) * d}, WorldPoint{x * d, (y + 1) * d}}) {
        const Camera::Point screen = camera.screenPoint(corner, 0);
        minX = std::min(minX, screen.x);
        maxX = std::max(maxX, screen.x);
        minY = std::min(minY, screen.y);
        maxY = std::max(maxY, screen.y);
    }
    const double margin = height / 2;
    return maxX >= -margin && minX <= width + margin && maxY >= -margin && minY <= height + margin;
}

} // namespace

VisibleTiles VisibleTiles::of(const Camera& camera, const Settings& settings)
{
    VisibleTiles visible;
    if (settings.basemap.isApple())
        return visible;
    std::vector<Basemap> layers{settings.basemap};
    if (settings.showsSlopes)
        layers.push_back(Basemap::slopes);

    const int tileLevel = settings.basemap.tileLevel(camera.zoom, settings.contentScale);
    const double scaleLevels = settings.contentScale > 0 ? std::log2(settings.contentScale) : 0;
    const double elevationLevel = std::trunc(camera.zoom - scaleLevels) - kElevationZoomOffset;
    const int elevationZoom = std::isfinite(elevationLevel)
        ? int(std::clamp(elevationLevel, double(kMinElevationZoom), double(kMaxElevationZoom)))
        : kMinElevationZoom;

    for (const DesiredTileBand& band :
        DesiredTileBand::of(camera, camera.visibleRect(), settings.basemap.maxLevel() - tileLevel)) {
        if (band.drop >= kMaxBandDrop)
            continue;
        for (const Basemap layer : layers) {
            const double bandZoom = camera.zoom - (settings.detailBias + band.drop);
            const int level = std::max(layer.minLevel(), layer.tileLevel(bandZoom, settings.contentScale));
            const TileRange range = tileRange(band.rect, level);
            if (range.count() == 0 || range.count() >= kMaxBandTiles)
                continue;
            for (long long x = range.x0; x <= range.x1; ++x) {
                for (long long y = range.y0; y <= range.y1; ++y) {
                    if (!isOnScreen(camera, level, x, y))
                        continue;
                    visible.tiles.insert(layer == Basemap::top25 ? TileKey::pyramid(level, x, y)
                                                                 : TileKey::webTile(layer.index(), level, x, y));
                }
            }
        }
        const int z = std::max(0, elevationZoom - band.drop);
        const TileRange grids = tileRange(band.rect, z);
        if (grids.count() == 0 || grids.count() > kMaxBandElevationGrids)
            continue;
        for (long long x = grids.x0; x <= grids.x1; ++x) {
            for (long long y = grids.y0; y <= grids.y1; ++y)
                visible.terrain.insert({z, int(x), int(y)});
        }
    }
    return visible;
}

} // namespace velorin
