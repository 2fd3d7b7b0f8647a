#include "map-data/FranceBasemapKeys.h"

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr double kFranceMinLatitude = 41.2;
constexpr double kFranceMaxLatitude = 51.3;
constexpr double kFranceMinLongitude = -5.5;
constexpr double kFranceMaxLongitude = 9.8;
constexpr std::int64_t kMarginTiles = 1;

WorldRect franceRect()
{
    auto northWest = WorldPoint::fromLatitudeLongitude(kFranceMaxLatitude, kFranceMinLongitude);
    auto southEast = WorldPoint::fromLatitudeLongitude(kFranceMinLatitude, kFranceMaxLongitude);
    return { northWest.x, northWest.y, southEast.x, southEast.y };
}

// The tile index of a world coordinate, kept finite for coordinates off the map.
std::int64_t tileIndex(double coordinate, std::int64_t tiles)
{
    return std::int64_t(std::trunc(std::clamp(coordinate, -1.0, 2.0) * double(tiles)));
}

} // namespace

std::vector<TileKey> franceBasemapKeys(const SheetCatalog& catalog)
{
    auto rect = franceRect();
    if (!catalog.sheets().empty()) {
        const auto& sheets = catalog.worldRect();
        rect = { std::min(rect.minX, sheets.minX), std::min(rect.minY, sheets.minY), std::max(rect.maxX, sheets.maxX),
            std::max(rect.maxY, sheets.maxY) };
    }
    std::vector<TileKey> keys;
    for (int z = kFranceBasemapFirstLevel; z <= kFranceBasemapLastLevel; ++z) {
        std::int64_t n = std::int64_t(1) << z;
        auto firstColumn = std::max<std::int64_t>(0, tileIndex(rect.minX, n) - kMarginTiles);
        auto lastColumn = std::min(n - 1, tileIndex(rect.maxX, n) + kMarginTiles);
        auto firstRow = std::max<std::int64_t>(0, tileIndex(rect.minY, n) - kMarginTiles);
        auto lastRow = std::min(n - 1, tileIndex(rect.maxY, n) + kMarginTiles);
        for (auto x = firstColumn; x <= lastColumn; ++x) {
            for (auto y = firstRow; y <= lastRow; ++y)
                keys.push_back(TileKey::pyramid(z, x, y));
        }
    }
    return keys;
}

} // namespace velorin
