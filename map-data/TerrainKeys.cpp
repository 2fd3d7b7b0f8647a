#include "map-data/TerrainService.h"

#include "platform/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

namespace velorin {

namespace {

constexpr int kMinimumIGNLevel = 9;
constexpr int kDeepestLevel = 16;
constexpr std::size_t kMaxTilesPerRequest = 64;

// Mainland France and Corsica, bounds included, tested on a tile's centre.
constexpr double kFranceMinLatitude = 41.2;
constexpr double kFranceMaxLatitude = 51.3;
constexpr double kFranceMinLongitude = -5.5;
constexpr double kFranceMaxLongitude = 9.8;

// Half the width of the Web Mercator square, in metres.
constexpr double kMercatorHalfWidthMetres = 20037508.342789244;
constexpr double kMercatorWidthMetres = 40075016.68557849;
constexpr int kBBoxDecimals = 3;

std::string tilePath(const char* folder, int z, int x, int y, const char* extension)
{
    return std::string(folder) + std::to_string(z) + "/" + std::to_string(x) + "_" + std::to_string(y) + extension;
}

bool centreInFranceBox(int z, int x, int y)
{
    const double n = std::exp2(z);
    const double longitude = (x + 0.5) / n * 360 - 180;
    const double latitude = std::atan(std::sinh(std::numbers::pi * (1 - 2 * (y + 0.5) / n))) * 180 / std::numbers::pi;
    return latitude >= kFranceMinLatitude && latitude <= kFranceMaxLatitude
        && longitude >= kFranceMinLongitude && longitude <= kFranceMaxLongitude;
}

// The tile index of a world coordinate at `tiles` tiles per side, clamped to the grid;
// also safe for coordinates far off the map.
int tileIndex(double coordinate, int tiles)
{
    return int(std::clamp(std::floor(coordinate * tiles), 0.0, double(tiles - 1)));
}

} // namespace

bool TerrainService::usesIGN(int z, int x, int y)
{
    return z >= kMinimumIGNLevel && centreInFranceBox(z, x, y);
}

std::string TerrainService::diskKey(int z, int x, int y)
{
    return usesIGN(z, x, y) ? tilePath("dem-ign/", z, x, y, ".bil") : terrariumDiskKey(z, x, y);
}

std::string TerrainService::terrariumDiskKey(int z, int x, int y)
{
    return tilePath("dem/", z, x, y, ".png");
}

std::string TerrainService::ignElevationURL(const ServiceHosts& hosts, const Key& key)
{
    const double size = kMercatorWidthMetres / std::exp2(key.z);
    const double minX = key.x * size - kMercatorHalfWidthMetres;
    const double maxY = kMercatorHalfWidthMetres - key.y * size;
    using platform::cNumber;
    return hosts.origin(hosts.ignHost)
        + "/wms-r?SERVICE=WMS&VERSION=1.3.0&REQUEST=GetMap"
          "&LAYERS=ELEVATION.ELEVATIONGRIDCOVERAGE.HIGHRES&STYLES=&CRS=EPSG:3857&BBOX="
        + cNumber(minX, kBBoxDecimals) + "," + cNumber(maxY - size, kBBoxDecimals) + ","
        + cNumber(minX + size, kBBoxDecimals) + "," + cNumber(maxY, kBBoxDecimals)
        + "&WIDTH=256&HEIGHT=256&FORMAT=image/x-bil;bits=32";
}

std::string TerrainService::terrariumURL(const ServiceHosts& hosts, const Key& key)
{
    return hosts.origin(hosts.terrariumHost) + "/elevation-tiles-prod/terrarium/" + std::to_string(key.z) + "/"
        + std::to_string(key.x) + "/" + std::to_string(key.y) + ".png";
}

std::vector<TerrainService::Key> TerrainService::tileKeys(int zoom, const WorldRect& rect)
{
    if (!std::isfinite(rect.minX) || !std::isfinite(rect.minY) || !std::isfinite(rect.maxX) || !std::isfinite(rect.maxY))
        return {};
    const int z = std::clamp(zoom, 0, kDeepestLevel);
    const int tiles = 1 << z;
    const int x0 = tileIndex(rect.minX, tiles), x1 = tileIndex(rect.maxX, tiles);
    const int y0 = tileIndex(rect.minY, tiles), y1 = tileIndex(rect.maxY, tiles);
    if (x0 > x1 || y0 > y1 || std::size_t(x1 - x0 + 1) * std::size_t(y1 - y0 + 1) > kMaxTilesPerRequest)
        return {};

    std::vector<Key> keys;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const Key key { z, x, y };
            // Terrarium stops at level 15, where the fill tiles are.
            keys.push_back(zoom >= kDeepestLevel && !centreInFranceBox(z, x, y) ? terrariumFillKey(key) : key);
        }
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return std::tie(a.z, a.y, a.x) < std::tie(b.z, b.y, b.x);
    });
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

} // namespace velorin
