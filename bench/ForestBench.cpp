// The forest's work per zoom-15 tile: reading the inventory tile's kinds, finding the crowns
// of a 1024-pixel aerial mosaic and placing their trees and shrubs, the jittered grid, the
// canopy grid, and the renderer's tree instances standing on the relief.

#include "BenchRelief.h"
#include "features/CanopyGrid.h"
#include "features/ForestKind.h"
#include "features/TreePlacement.h"
#include "platform/Image.h"
#include "renderer/MapRenderer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using velorin::ForestKinds;
using velorin::ForestService;
using velorin::TreePlacement;

constexpr int kZ = 15;
constexpr std::int64_t kX = 16860;
// Near 45° N, and at the equator, where a tile is widest: 135 grid cells a side.
constexpr std::int64_t kY = 11787;
constexpr std::int64_t kEquatorY = 16384;
constexpr int kMosaicSide = 1024;

// An inventory tile of woods of several kinds in irregular patches, with open land between.
std::vector<std::byte> inventoryTile()
{
    constexpr int kColours[][3] = {{128, 128, 255}, {0, 140, 77}, {255, 102, 51}, {153, 179, 204}, {204, 255, 191},
        {255, 230, 191}, {0, 77, 46}, {255, 209, 56}};
    platform::Image image{256, 256, std::vector<std::byte>(256 * 256 * 4)};
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            const int patch = int(std::floor(std::sin(column * 0.05) * 3 + std::cos(row * 0.07) * 3 + 6)) % 10;
            std::byte* pixel = image.pixels.data() + (row * 256 + column) * 4;
            if (patch >= 8)
                continue;
            for (int channel = 0; channel < 3; ++channel)
                pixel[channel] = std::byte(kColours[patch][channel]);
            pixel[3] = std::byte(255);
        }
    }
    return *platform::encodePng(image);
}

ForestKinds kinds()
{
    return *velorin::classifyKinds(inventoryTile());
}

// An aerial mosaic of a wood: dark crowns about 7 px apart on grey-green ground with a few
// bright shrubs, and some noise.
TreePlacement::Mosaic forestMosaic()
{
    TreePlacement::Mosaic mosaic{kMosaicSide, std::vector<std::byte>(std::size_t(kMosaicSide) * kMosaicSide * 4)};
    std::mt19937 random(5);
    std::uniform_real_distribution<double> jitter(-1.5, 1.5);
    std::uniform_int_distribution<int> noise(-6, 6);
    std::vector<double> shade(std::size_t(kMosaicSide) * kMosaicSide, 0);
    constexpr int kSpacing = 7;
    for (int cy = kSpacing / 2; cy < kMosaicSide; cy += kSpacing) {
        for (int cx = kSpacing / 2; cx < kMosaicSide; cx += kSpacing) {
            const double x = cx + jitter(random);
            const double y = cy + jitter(random);
            for (int row = std::max(0, int(y) - 4); row <= std::min(kMosaicSide - 1, int(y) + 4); ++row) {
                for (int column = std::max(0, int(x) - 4); column <= std::min(kMosaicSide - 1, int(x) + 4); ++column) {
                    const double d = std::hypot(column - x, row - y);
                    double& s = shade[std::size_t(row) * kMosaicSide + std::size_t(column)];
                    s = std::max(s, std::max(0.0, 1 - d / 4));
                }
            }
        }
    }
    for (std::size_t at = 0; at < shade.size(); ++at) {
        const double dark = shade[at];
        const bool shrub = at % 9973 == 0;
        const int n = noise(random);
        const int r = shrub ? 125 : int(95 - 80 * dark) + n;
        const int g = shrub ? 175 : int(115 - 75 * dark) + n;
        const int b = shrub ? 100 : int(85 - 70 * dark) + n;
        mosaic.rgba[4 * at] = std::byte(std::clamp(r, 0, 255));
        mosaic.rgba[4 * at + 1] = std::byte(std::clamp(g, 0, 255));
        mosaic.rgba[4 * at + 2] = std::byte(std::clamp(b, 0, 255));
    }
    return mosaic;
}

void classifyKinds(benchmark::State& state)
{
    const auto tile = inventoryTile();
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::classifyKinds(tile));
}
BENCHMARK(classifyKinds)->Unit(benchmark::kMillisecond);

void crownsTreesAndShrubs(benchmark::State& state)
{
    const auto forest = kinds();
    const auto mosaic = forestMosaic();
    std::size_t trees = 0;
    for (auto _ : state) {
        const auto crowns = TreePlacement::detectCrowns(mosaic.rgba, mosaic.side);
        const auto placed = TreePlacement::crownTrees(crowns.dark, crowns.bright, forest, mosaic.side, kZ, kX, kY);
        const auto shrubs = TreePlacement::crownShrubs(crowns.bright, forest, mosaic.side, kZ, kX, kY);
        trees = placed.size() + shrubs.size();
        benchmark::DoNotOptimize(trees);
    }
    state.counters["trees"] = double(trees);
}
BENCHMARK(crownsTreesAndShrubs)->Unit(benchmark::kMillisecond);

void gridTreesAtTheEquator(benchmark::State& state)
{
    const ForestKinds closed(velorin::kForestTilePixels, std::uint8_t(velorin::ForestKind::mixed));
    std::size_t trees = 0;
    for (auto _ : state) {
        trees = TreePlacement::gridTrees(closed, kZ, kX, kEquatorY).size();
        benchmark::DoNotOptimize(trees);
    }
    state.counters["trees"] = double(trees);
}
BENCHMARK(gridTreesAtTheEquator)->Unit(benchmark::kMillisecond);

void canopyGrid(benchmark::State& state)
{
    const auto forest = kinds();
    const auto mosaic = forestMosaic();
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::CanopyGrid::make(forest, mosaic, kZ, kX, kY));
}
BENCHMARK(canopyGrid)->Unit(benchmark::kMillisecond);

// 20,000 trees of a zoom-15 tile stood on relief held as the terrain service holds it.
void treeInstances(benchmark::State& state)
{
    velorin::ElevationGridCache grids(4);
    bench_relief::storeHills(grids, kX, kY, 1500, 600);

    std::vector<ForestService::Tree> trees;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> place(0, 864);
    for (int i = 0; i < 20000; ++i)
        trees.push_back({place(random), place(random), 15, float(i % 5), 0.5f});
    const ForestService::Key tile{kZ, kX, kY};
    const auto sampler = bench_relief::sampler(grids);
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::MapRenderer::treeInstances(trees, tile, sampler));
    state.SetItemsProcessed(state.iterations() * std::int64_t(trees.size()));
}
BENCHMARK(treeInstances)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
