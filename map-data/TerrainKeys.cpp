#include "map-data/TerrainService.h"

#include <cmath>
#include <numbers>

namespace velorin {

namespace {

constexpr int kMinimumIGNLevel = 9;

// Mainland France and Corsica, bounds included, tested on a tile's centre.
constexpr double kFranceMinLatitude = 41.2;
constexpr double kFranceMaxLatitude = 51.3;
constexpr double kFranceMinLongitude = -5.5;
constexpr double kFranceMaxLongitude = 9.8;

std::string tilePath(const char* folder, int z, int x, int y, const char* extension)
{
    return std::string(folder) + std::to_string(z) + "/" + std::to_string(x) + "_" + std::to_string(y) + extension;
}

} // namespace

bool TerrainService::usesIGN(int z, int x, int y)
{
    if (z < kMinimumIGNLevel)
        return false;
    const double n = std::exp2(z);
    const double longitude = (x + 0.5) / n * 360 - 180;
    const double latitude = std::atan(std::sinh(std::numbers::pi * (1 - 2 * (y + 0.5) / n))) * 180 / std::numbers::pi;
    return latitude >= kFranceMinLatitude && latitude <= kFranceMaxLatitude
        && longitude >= kFranceMinLongitude && longitude <= kFranceMaxLongitude;
}

std::string TerrainService::diskKey(int z, int x, int y)
{
    return usesIGN(z, x, y) ? tilePath("dem-ign/", z, x, y, ".bil") : terrariumDiskKey(z, x, y);
}

std::string TerrainService::terrariumDiskKey(int z, int x, int y)
{
    return tilePath("dem/", z, x, y, ".png");
}

} // namespace velorin
