#include "map-data/AerialCoverage.h"

#include <array>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {

struct CoverageBox {
    Basemap basemap;
    double minLatitude;
    double maxLatitude;
    double minLongitude;
    double maxLongitude;
};

constexpr std::array<CoverageBox, 3> kAerialCoverage { {
    { Basemap::spainImage, 35.8, 43.9, -9.5, 3.4 },
    { Basemap::swissImage, 45.7, 47.9, 5.8, 10.6 },
    { Basemap::austriaImage, 46.3, 49.1, 9.4, 17.2 },
} };

double rowLatitude(double row, double tileCount)
{
    constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
    return std::atan(std::sinh(std::numbers::pi * (1 - 2 * row / tileCount))) * kDegreesPerRadian;
}

} // namespace

std::vector<Basemap> coverageSources(int64_t z, int64_t x, int64_t y)
{
    std::vector<Basemap> sources;
    if (z < 0 || z > 30)
        return sources;
    double tileCount = std::ldexp(1.0, int(z));
    double north = rowLatitude(double(y), tileCount);
    double south = rowLatitude(double(y + 1), tileCount);
    double west = double(x) / tileCount * 360 - 180;
    double east = double(x + 1) / tileCount * 360 - 180;
    for (const auto& box : kAerialCoverage) {
        bool touches = box.minLatitude <= north && south <= box.maxLatitude && box.minLongitude <= east
            && west <= box.maxLongitude;
        if (touches && z >= box.basemap.minLevel() && z <= box.basemap.maxLevel())
            sources.push_back(box.basemap);
    }
    return sources;
}

} // namespace velorin
