#pragma once

// One elevation tile: 256 × 256 heights in metres, row-major, row 0 at the tile's north
// edge, column 0 at its west edge, and the bilinear sample that reads it. Any thread.

#include <algorithm>
#include <cmath>
#include <vector>

namespace velorin {

inline constexpr int kElevationGridSide = 256;
inline constexpr int kElevationGridCells = kElevationGridSide * kElevationGridSide;

// NaN marks a missing height only while a grid is being assembled.
using ElevationGrid = std::vector<float>;

inline bool hasHoles(const ElevationGrid& grid)
{
    return std::any_of(grid.begin(), grid.end(), [](float h) { return std::isnan(h); });
}

// Bilinear height at pixel coordinates, clamped to the grid. Cheap and allocation-free:
// it runs for every mesh vertex.
inline float sampleHeight(const ElevationGrid& grid, float px, float py)
{
    constexpr float kLast = kElevationGridSide - 1;
    // Written so that a NaN coordinate reads the first cell instead of indexing anywhere.
    px = px > 0 ? std::min(px, kLast) : 0.0f;
    py = py > 0 ? std::min(py, kLast) : 0.0f;
    const int i0 = int(px);
    const int j0 = int(py);
    const int i1 = std::min(i0 + 1, kElevationGridSide - 1);
    const int j1 = std::min(j0 + 1, kElevationGridSide - 1);
    const float fx = px - float(i0);
    const float fy = py - float(j0);
    const float* top = grid.data() + j0 * kElevationGridSide;
    const float* bottom = grid.data() + j1 * kElevationGridSide;
    return (1 - fy) * ((1 - fx) * top[i0] + fx * top[i1]) + fy * ((1 - fx) * bottom[i0] + fx * bottom[i1]);
}

} // namespace velorin
