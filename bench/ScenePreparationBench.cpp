#include "map-data/TextureCache.h"
#include "platform/ManualClock.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/ShaderLibrary.h"
#include "renderer/MapRenderer.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using velorin::MapRenderer;

// A renderer on a headless context looking at planIGN tiles from a pitched camera at zoom
// 15, with every tile it wants already in the texture cache and every mesh built: the
// cost of a frame while the walker looks around a place already loaded.
struct WarmScene {
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library{gpu::ShaderLibrary::defaultFolder()};
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock);
    std::unique_ptr<MapRenderer> renderer;

    WarmScene()
    {
        velorin::Camera camera;
        camera.center = velorin::WorldPoint::fromLatitudeLongitude(45.83, 6.86);
        camera.zoom = 15;
        camera.viewSize = {2560, 1600};
        camera.bearing = 0.4;
        camera.pitch = 1.1;
        renderer = MapRenderer::make(*context, library, velorin::SheetCatalog{}, nullptr, camera, nullptr, nullptr,
            nullptr);
        renderer->textures = cache;
        renderer->clock = clock;
        renderer->basemap = velorin::Basemap::planIGN;
        renderer->contentScale = 2;
        const auto tile = gpu::Texture::make(gpu::PixelFormat::rgba8, 1, 1, std::vector<std::byte>(4));
        for (int frame = 0; frame < 3; ++frame) {
            renderer->prepareScene(clock->now());
            for (const auto& key : renderer->desired)
                cache->insert(tile, key);
            clock->advance(2);
        }
        renderer->prepareScene(clock->now());
    }
};

void prepareScenePitchedAtZoom15(benchmark::State& state)
{
    WarmScene scene;
    for (auto _ : state) {
        scene.clock->advance(1.0 / 60);
        scene.renderer->prepareScene(scene.clock->now());
    }
    state.counters["draws"] = double(scene.renderer->draws.size());
    state.counters["wanted"] = double(scene.renderer->desired.size());
}
BENCHMARK(prepareScenePitchedAtZoom15)->Unit(benchmark::kMillisecond);

// The bytes a captured flight scene holds of its own: its draw records and vertex lists;
// meshes and textures are shared with the live scene.
void flightSceneMemory(benchmark::State& state)
{
    WarmScene scene;
    const velorin::Camera live = scene.renderer->camera;
    std::size_t bytes = 0;
    std::size_t draws = 0;
    for (auto _ : state) {
        auto flight = scene.renderer->flightScene(live);
        if (!flight) {
            state.SkipWithError("the warm scene is not ready for a flight");
            return;
        }
        flight->restore(*scene.renderer);
        const auto& order = *scene.renderer->preparedFlightOrder;
        draws = order.size();
        bytes = sizeof(MapRenderer::FlightScene) + order.capacity() * sizeof(MapRenderer::Draw)
            + (scene.renderer->preparedFlightSky->capacity() + scene.renderer->solidVertices.capacity())
                * sizeof(velorin::SolidVertex)
            + scene.renderer->treeDraws.capacity() * sizeof(MapRenderer::TreeDraw)
            + scene.renderer->buildingDraws.capacity() * sizeof(MapRenderer::BuildingDraw);
        scene.renderer->restoreFrameState(live, scene.renderer->savedFrame());
    }
    state.counters["draws"] = double(draws);
    state.counters["bytesPerScene"] = double(bytes);
}
BENCHMARK(flightSceneMemory)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
