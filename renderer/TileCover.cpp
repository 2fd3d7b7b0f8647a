#include "renderer/TileCover.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velorin {

namespace {

struct Range {
    std::int64_t x0 = 0;
    std::int64_t x1 = -1;
    std::int64_t y0 = 0;
    std::int64_t y1 = -1;

    bool empty() const { return x1 < x0 || y1 < y0; }
};

Range coverRange(const WorldRect& rect)
{
    if (std::isnan(rect.minX) || std::isnan(rect.minY) || std::isnan(rect.maxX) || std::isnan(rect.maxY))
        return {};
    const double n = std::exp2(kTileCoverZoom);
    // Clamped as doubles, so that an infinite or huge coordinate never overflows the index.
    const auto index = [n](double coordinate) { return std::int64_t(std::clamp(std::floor(coordinate * n), -1.0, n)); };
    const std::int64_t last = std::int64_t(n) - 1;
    return {std::max<std::int64_t>(index(rect.minX), 0), std::min(index(rect.maxX), last),
        std::max<std::int64_t>(index(rect.minY), 0), std::min(index(rect.maxY), last)};
}

} // namespace

std::vector<ForestService::Key> tileCover(const WorldRect& rect)
{
    const Range range = coverRange(rect);
    std::vector<ForestService::Key> keys;
    if (range.empty())
        return keys;
    keys.reserve(tileCoverCount(rect));
    for (std::int64_t x = range.x0; x <= range.x1; ++x) {
        for (std::int64_t y = range.y0; y <= range.y1; ++y)
            keys.push_back({kTileCoverZoom, x, y});
    }
    return keys;
}

std::vector<ForestService::Key> tileCoverNearestFirst(const WorldRect& rect)
{
    std::vector<ForestService::Key> keys = tileCover(rect);
    const double centreX = (rect.minX + rect.maxX) / 2;
    const double centreY = (rect.minY + rect.maxY) / 2;
    const auto distance = [&](const ForestService::Key& key) {
        const double n = std::exp2(double(key.z));
        return std::hypot((double(key.x) + 0.5) / n - centreX, (double(key.y) + 0.5) / n - centreY);
    };
    std::stable_sort(keys.begin(), keys.end(),
        [&](const ForestService::Key& a, const ForestService::Key& b) { return distance(a) < distance(b); });
    return keys;
}

WorldPoint tileCorner(const ForestService::Key& key)
{
    const double n = std::exp2(double(key.z));
    return {double(key.x) / n, double(key.y) / n};
}

double tileMetersPerWorldUnit(const ForestService::Key& key)
{
    const double n = std::exp2(double(key.z));
    return WorldPoint{(double(key.x) + 0.5) / n, (double(key.y) + 0.5) / n}.metersPerWorldUnit();
}

std::size_t tileCoverCount(const WorldRect& rect)
{
    const Range range = coverRange(rect);
    return range.empty() ? 0 : std::size_t(range.x1 - range.x0 + 1) * std::size_t(range.y1 - range.y0 + 1);
}

} // namespace velorin
