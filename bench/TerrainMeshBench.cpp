#include "map-data/ElevationGridCache.h"
#include "renderer/MapRenderer.h"
#include "renderer/ParallelMap.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using velorin::MapRenderer;
using velorin::WorldPoint;

constexpr int kMeshLevel = 17;
constexpr int kFirstColumn = 68000;
constexpr int kGridLevel = kMeshLevel - 3;

// A tile at level z with a smooth relief under it.
MapRenderer::MeshKey key(int z, int x, int divisions)
{
    const double d = 1.0 / double(1 << z);
    return {{x * d, 0}, {(x + 1) * d, 0}, {(x + 1) * d, d}, {x * d, d}, divisions, kGridLevel, 0, divisions >= 64};
}

double relief(WorldPoint p)
{
    return 1500 + 800 * std::sin(p.x * 40000) * std::cos(p.y * 30000);
}

// The relief as elevation grids under the benchmark's 64 tiles, as the terrain service holds them.
const velorin::ElevationGridCache& grids()
{
    static const velorin::ElevationGridCache cache = [] {
        velorin::ElevationGridCache filled(16);
        const int shift = kMeshLevel - kGridLevel;
        const double n = std::exp2(kGridLevel);
        for (int gx = kFirstColumn >> shift; gx <= (kFirstColumn + 63) >> shift; ++gx) {
            velorin::ElevationGrid grid(velorin::kElevationGridCells);
            for (int row = 0; row < velorin::kElevationGridSide; ++row) {
                for (int column = 0; column < velorin::kElevationGridSide; ++column) {
                    grid[std::size_t(row * velorin::kElevationGridSide + column)]
                        = float(relief({(gx + (column + 0.5) / velorin::kElevationGridSide) / n,
                            (row + 0.5) / velorin::kElevationGridSide / n}));
                }
            }
            filled.store({kGridLevel, gx, 0}, std::move(grid));
        }
        return filled;
    }();
    return cache;
}

std::vector<velorin::MeshVertex> fill(const MapRenderer::MeshKey& meshKey)
{
    return MapRenderer::fillMeshVertices(
        meshKey, [](auto points, auto heights) { grids().elevations(points, kGridLevel, heights); });
}

// One mesh as a frame fills it: 289 elevation samples at most, whatever the divisions.
void fillOneMesh(benchmark::State& state)
{
    const auto meshKey = key(kMeshLevel, kFirstColumn, int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(fill(meshKey));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(fillOneMesh)->Arg(16)->Arg(64)->Arg(256);

// A frame that finds 64 canopy meshes missing, as after a jump to a new place.
void fillMissingMeshesInParallel(benchmark::State& state)
{
    std::vector<MapRenderer::MeshKey> keys;
    for (int x = 0; x < 64; ++x)
        keys.push_back(key(kMeshLevel, kFirstColumn + x, 256));
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::parallelMap(keys, fill));
    state.SetItemsProcessed(state.iterations() * std::int64_t(keys.size()));
}
BENCHMARK(fillMissingMeshesInParallel)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
