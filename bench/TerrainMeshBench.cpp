#include "renderer/MapRenderer.h"
#include "renderer/ParallelMap.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using velorin::MapRenderer;
using velorin::WorldPoint;

// A tile at level z with a smooth relief under it, sampled like an elevation grid.
MapRenderer::MeshKey key(int z, int x, int divisions)
{
    const double d = 1.0 / double(1 << z);
    return {{x * d, 0}, {(x + 1) * d, 0}, {(x + 1) * d, d}, {x * d, d}, divisions, z - 3, 0, divisions >= 64};
}

double relief(WorldPoint p)
{
    return 1500 + 800 * std::sin(p.x * 40000) * std::cos(p.y * 30000);
}

// One mesh as a frame fills it: 289 elevation samples at most, whatever the divisions.
void fillOneMesh(benchmark::State& state)
{
    const auto meshKey = key(17, 68000, int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(MapRenderer::fillMeshVertices(meshKey, relief));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(fillOneMesh)->Arg(16)->Arg(64)->Arg(256);

// A frame that finds 64 canopy meshes missing, as after a jump to a new place.
void fillMissingMeshesInParallel(benchmark::State& state)
{
    std::vector<MapRenderer::MeshKey> keys;
    for (int x = 0; x < 64; ++x)
        keys.push_back(key(17, 68000 + x, 256));
    const auto fill = [](const MapRenderer::MeshKey& k) { return MapRenderer::fillMeshVertices(k, relief); };
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::parallelMap(keys, fill));
    state.SetItemsProcessed(state.iterations() * std::int64_t(keys.size()));
}
BENCHMARK(fillMissingMeshesInParallel)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
