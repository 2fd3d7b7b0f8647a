#include "map-data/ElevationGridCache.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

// Every allocation in the process is counted, so that the look-up can show it makes none.
static std::atomic<long> allocations { 0 };

[[gnu::noinline]] void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

// Heights under a screenful of points, as the renderer asks for every mesh vertex, tree,
// building vertex and track point: a 16 × 16 block of level-14 grids cached.
static void BM_ElevationAtOnCachedGrids(benchmark::State& state)
{
    constexpr int kLevel = 14;
    constexpr int kFirstColumn = 8290, kFirstRow = 5800, kSide = 16;
    velorin::ElevationGridCache cache(1536);
    for (int dy = 0; dy < kSide; ++dy)
        for (int dx = 0; dx < kSide; ++dx)
            cache.store({ kLevel, kFirstColumn + dx, kFirstRow + dy }, velorin::ElevationGrid(velorin::kElevationGridCells, float(dx + dy)));

    std::mt19937 random(7);
    const double n = 1 << kLevel;
    std::uniform_real_distribution<double> xs(kFirstColumn / n, (kFirstColumn + kSide) / n);
    std::uniform_real_distribution<double> ys(kFirstRow / n, (kFirstRow + kSide) / n);
    std::vector<std::pair<double, double>> points(4096);
    for (auto& p : points)
        p = { xs(random), ys(random) };

    const long before = allocations.load();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& p = points[i++ & (points.size() - 1)];
        benchmark::DoNotOptimize(cache.elevationAt(p.first, p.second, 16));
    }
    state.counters["allocations"] = double(allocations.load() - before);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ElevationAtOnCachedGrids);

// The points of a terrain mesh's lattice in one run: neighbouring points mostly fall in the
// grid of the one before.
static void BM_ElevationsOfAMeshLattice(benchmark::State& state)
{
    constexpr int kLevel = 14;
    velorin::ElevationGridCache cache(4);
    velorin::ElevationGrid grid(velorin::kElevationGridCells);
    for (std::size_t at = 0; at < grid.size(); ++at)
        grid[at] = float(at % 97);
    cache.store({ kLevel, 8290, 5800 }, std::move(grid));
    const double n = 1 << kLevel;
    std::vector<velorin::WorldPoint> points;
    for (int a = 0; a <= 16; ++a)
        for (int b = 0; b <= 16; ++b)
            points.push_back({ (8290 + 0.3 + b / 64.0) / n, (5800 + 0.4 + a / 64.0) / n });
    std::vector<double> heights(points.size());

    const long before = allocations.load();
    for (auto _ : state) {
        cache.elevations(points, kLevel, heights);
        benchmark::DoNotOptimize(heights.data());
    }
    state.counters["allocations"] = double(allocations.load() - before);
    state.SetItemsProcessed(state.iterations() * std::int64_t(points.size()));
}
BENCHMARK(BM_ElevationsOfAMeshLattice);
