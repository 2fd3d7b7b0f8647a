#include "map-data/AerialCoverage.h"

#include <array>
#include <vector>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {

constexpr std::array<AerialCoverageBox, 3> kAerialCoverage { {
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

std::span<const AerialCoverageBox> aerialCoverage() { return kAerialCoverage; }

const WorldRect& aerialCoverageBounds()
{
    static const WorldRect bounds = [] {
        std::vector<WorldPoint> corners;
        for (const auto& box : kAerialCoverage) {
            // fromLatitudeLongitude clamps the latitudes to the Mercator square.
            corners.push_back(WorldPoint::fromLatitudeLongitude(box.minLatitude, box.minLongitude));
            corners.push_back(WorldPoint::fromLatitudeLongitude(box.maxLatitude, box.maxLongitude));
        }
        return WorldRect::boundingRect(corners);
    }();
    return bounds;
}

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
