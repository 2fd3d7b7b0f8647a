// The buildings' work per zoom-15 tile: building the mesh of a dense town tile from its
// GeoJSON, triangulating long rings (a tower, a comb, a block round its courtyard), and the
// renderer's conversion of the mesh onto the relief into one GPU buffer, which happens
// inside a frame's preparation.

#include "BenchRelief.h"
#include "features/BuildingMesh.h"
#include "features/tests/BuildingFootprints.h"
#include "platform/gpu/Buffer.h"
#include "platform/gpu/Context.h"
#include "renderer/MapRenderer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using namespace building_testing;
using velorin::BuildingMesh;

constexpr int kFootprints = 5000;

// A town of 5,000 houses on a 71 × 71 grid 12 m apart: rectangles and L shapes of 8 to 10 m,
// half of them with pitched roofs, their materials varied.
std::vector<std::byte> denseTile()
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> size(8, 10);
    std::uniform_real_distribution<double> height(5, 14);
    std::vector<nlohmann::json> features;
    for (int i = 0; i < kFootprints; ++i) {
        const double east = 5 + 12.0 * (i % 71);
        const double south = 5 + 12.0 * (i / 71);
        const double w = size(random);
        const double d = size(random) * 0.8;
        std::vector<std::pair<double, double>> corners;
        if (i % 3 == 0)
            corners = {{east, south}, {east + w, south}, {east + w, south + d}, {east + w / 2, south + d},
                {east + w / 2, south + d / 2}, {east, south + d / 2}};
        else
            corners = rectangle(east, south, w, d);
        nlohmann::json properties{{"hauteur", height(random)}, {"materiaux_des_murs", i % 2 ? "01" : "03"},
            {"nature", "Indifférenciée"}};
        if (i % 2 == 0) {
            properties["altitude_minimale_toit"] = 500.0;
            properties["altitude_maximale_toit"] = 503.5;
            properties["materiaux_de_la_toiture"] = "10";
        }
        features.push_back(feature(ring(corners), properties));
    }
    return bytes(collection(features));
}

void buildDenseTile(benchmark::State& state)
{
    const auto document = denseTile();
    std::size_t vertices = 0;
    for (auto _ : state) {
        const auto mesh = BuildingMesh::buildTile(document, kZ, kX, kY);
        vertices = mesh ? mesh->size() : 0;
        benchmark::DoNotOptimize(vertices);
    }
    state.counters["vertices"] = double(vertices);
    state.counters["meshBytes"] = double(vertices * sizeof(BuildingMesh::Vertex));
    state.counters["gpuBytes"] = double(vertices * sizeof(velorin::BuildingGPUVertex));
    state.counters["documentBytes"] = double(document.size());
}
BENCHMARK(buildDenseTile)->Unit(benchmark::kMillisecond);

// 2,000-point rings: a round tower, and a comb of 500 teeth, where most corners are reflex.
BuildingMesh::Ring circle()
{
    BuildingMesh::Ring ring;
    for (int i = 0; i < 2000; ++i) {
        const double angle = 2 * std::numbers::pi * i / 2000;
        ring.push_back({50 * std::cos(angle), 50 * std::sin(angle)});
    }
    return ring;
}

BuildingMesh::Ring comb()
{
    BuildingMesh::Ring ring;
    for (int tooth = 499; tooth >= 0; --tooth) {
        ring.push_back({4.0 * tooth + 3, 0});
        ring.push_back({4.0 * tooth + 3, 10});
        ring.push_back({4.0 * tooth + 1, 10});
        ring.push_back({4.0 * tooth + 1, 0});
    }
    ring.push_back({0, -3});
    ring.push_back({2000, -3});
    return ring;
}

// A round block of 10,000 corners about a courtyard open to the street by a narrow passage:
// half its corners are reflex, and every one of them is clipped as an ear.
BuildingMesh::Ring courtyard()
{
    BuildingMesh::Ring ring;
    for (const auto& [east, south] : courtyardBlock(10000))
        ring.push_back({east, south});
    return ring;
}

void triangulate(benchmark::State& state, BuildingMesh::Ring (*shape)())
{
    const auto ring = shape();
    std::size_t triangles = 0;
    for (auto _ : state) {
        triangles = BuildingMesh::triangulate(ring).size();
        benchmark::DoNotOptimize(triangles);
    }
    state.counters["points"] = double(ring.size());
    state.counters["triangles"] = double(triangles);
}
BENCHMARK_CAPTURE(triangulate, circle, circle)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(triangulate, comb, comb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(triangulate, courtyard, courtyard)->Unit(benchmark::kMillisecond);

// The dense tile stood on relief held as the terrain service holds it, then (upload/1) put
// into one vertex buffer, which on llvmpipe is a copy by the driver.
void convertDenseTileForTheGPU(benchmark::State& state)
{
    velorin::ElevationGridCache grids(4);
    bench_relief::storeHills(grids, kX, kY, 1200, 300);
    const auto sampler = bench_relief::sampler(grids);

    const auto mesh = *BuildingMesh::buildTile(denseTile(), kZ, kX, kY);
    const velorin::ForestService::Key tile{kZ, kX, kY};
    const auto context = gpu::Context::headless();
    for (auto _ : state) {
        const auto quarters = velorin::MapRenderer::buildingVertices(mesh, tile, sampler);
        if (state.range(0) != 0) {
            const auto buffer
                = gpu::Buffer::of<velorin::BuildingGPUVertex>(*context, gpu::BufferKind::vertex, quarters.vertices);
            benchmark::DoNotOptimize(buffer);
        }
        benchmark::DoNotOptimize(quarters);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(mesh.size()));
}
BENCHMARK(convertDenseTileForTheGPU)->ArgName("upload")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
