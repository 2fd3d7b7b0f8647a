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

double ElevationGridCache::elevationAt(double x, double y, int zoom) const
{
    // Also refuses NaN, so that the tile index below is always a valid integer.
    if (!(x >= 0 && x <= 1 && y >= 0 && y <= 1))
        return 0;
    for (int z = std::min(zoom, kDeepestLevel); z >= std::max(zoom - kCoarserLevelsSearched, 0); --z) {
        const double n = std::ldexp(1.0, z);
        const double gx = x * n;
        const double gy = y * n;
        const int tx = int(gx);
        const int ty = int(gy);
        auto found = tiles_.find(TerrainKey { z, tx, ty });
        if (found != tiles_.end())
            return sampleHeight(found->second.grid, float((gx - tx) * kElevationGridSide - 0.5),
                float((gy - ty) * kElevationGridSide - 0.5));
    }
    return 0;
}

} // namespace velorin
