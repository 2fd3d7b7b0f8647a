#pragma once

#include "map-data/ElevationGridCache.h"
#include "renderer/MapRenderer.h"

#include <cmath>
#include <cstdint>

// Rolling relief for the benchmarks that stand trees or buildings on the ground: the level-14
// elevation grid over a zoom-15 tile held as the terrain service holds it, and a sampler
// reading it.
namespace bench_relief {

inline constexpr int kGridLevel = 14;

inline void storeHills(velorin::ElevationGridCache& grids, std::int64_t x, std::int64_t y, double baseMeters,
    double amplitudeMeters)
{
    const double n = std::exp2(kGridLevel);
    const std::int64_t gx = x >> 1;
    const std::int64_t gy = y >> 1;
    velorin::ElevationGrid grid(velorin::kElevationGridCells);
    for (int row = 0; row < velorin::kElevationGridSide; ++row) {
        for (int column = 0; column < velorin::kElevationGridSide; ++column) {
            grid[std::size_t(row * velorin::kElevationGridSide + column)] = float(baseMeters
                + amplitudeMeters * std::sin((gx + column / 256.0) / n * 30000) * std::cos((gy + row / 256.0) / n * 30000));
        }
    }
    grids.store({kGridLevel, int(gx), int(gy)}, std::move(grid));
}

inline velorin::MapRenderer::ElevationSampler sampler(const velorin::ElevationGridCache& grids)
{
    return [&grids](auto points, auto heights) { grids.elevations(points, kGridLevel, heights); };
}

} // namespace bench_relief
