#include "map-data/ElevationGridCache.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace velorin {

namespace {

constexpr int kDeepestLevel = 16;
// How many levels coarser than the asked zoom a look-up still accepts.
constexpr int kCoarserLevelsSearched = 6;

} // namespace

ElevationGridCache::ElevationGridCache(std::size_t budgetGrids)
    : budget_(budgetGrids)
{
    assert(budget_ > 0);
}

void ElevationGridCache::store(const TerrainKey& key, ElevationGrid grid)
{
    assert(grid.size() == std::size_t(kElevationGridCells));
    auto found = tiles_.find(key);
    if (found != tiles_.end()) {
        found->second.grid = std::move(grid);
        recent_.splice(recent_.end(), recent_, found->second.recent);
        return;
    }
    recent_.push_back(key);
    tiles_.emplace(key, Entry { std::move(grid), std::prev(recent_.end()) });
    if (recent_.size() > budget_) {
        tiles_.erase(recent_.front());
        recent_.pop_front();
    }
}

ElevationGridCache::Found ElevationGridCache::gridAt(double x, double y, int zoom, Cursor* cursor) const
{
    // Also refuses NaN, so that the tile index below is always a valid integer.
    if (!(x >= 0 && x <= 1 && y >= 0 && y <= 1))
        return {};
    const int deepest = std::min(zoom, kDeepestLevel);
    for (int z = deepest; z >= std::max(zoom - kCoarserLevelsSearched, 0); --z) {
        const double n = double(1 << z);
        const double gx = x * n;
        const double gy = y * n;
        const int tx = int(gx);
        const int ty = int(gy);
        const float px = float((gx - tx) * kElevationGridSide - 0.5);
        const float py = float((gy - ty) * kElevationGridSide - 0.5);
        if (cursor && cursor->grid && cursor->z == z && cursor->x == tx && cursor->y == ty)
            return { cursor->grid, px, py };
        auto found = tiles_.find(TerrainKey { z, tx, ty });
        if (found != tiles_.end()) {
            // Only the deepest level is sure for the whole grid: below a coarser one, another
            // point may have a finer grid of its own.
            if (cursor && z == deepest)
                *cursor = { &found->second.grid, z, tx, ty };
            return { &found->second.grid, px, py };
        }
    }
    return {};
}

double ElevationGridCache::elevationAt(double x, double y, int zoom) const
{
    const Found found = gridAt(x, y, zoom);
    return found.grid ? sampleHeight(*found.grid, found.px, found.py) : 0;
}

void ElevationGridCache::elevations(std::span<const WorldPoint> points, int zoom, std::span<double> out) const
{
    assert(out.size() >= points.size());
    Cursor cursor;
    for (std::size_t at = 0; at < points.size(); ++at) {
        const Found found = gridAt(points[at].x, points[at].y, zoom, &cursor);
        out[at] = found.grid ? sampleHeight(*found.grid, found.px, found.py) : 0;
    }
}

} // namespace velorin
