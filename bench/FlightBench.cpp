#include "StillWindow.h"

#include "canvas/MapCanvasView.h"
#include "map-data/TextureCache.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/ShaderLibrary.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using velorin::MapCanvasView;
using velorin::WorldPoint;

// A canvas over the Mont Blanc massif, pitched at zoom 13 on Plan IGN, on a manual clock,
// with a texture cache that is handed every tile any frame asks for.
struct FlightScene {
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library {gpu::ShaderLibrary::defaultFolder()};
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock);
    std::shared_ptr<gpu::Texture> tile = gpu::Texture::make(gpu::PixelFormat::rgba8, 1, 1, std::vector<std::byte>(4));
    bench_canvas::StillWindow window;
    std::shared_ptr<MapCanvasView> canvas;

    FlightScene()
    {
        canvas = MapCanvasView::make(window, *context, library,
            MapCanvasView::Services {velorin::SheetCatalog {}, {}, {}, {}, {}, {}},
            {clock, mainQueue, nullptr, {}, {"velorin", "-orbitOutro", "45.85,6.80,400,45.90,6.90"}, {}});
        canvas->layout();
        canvas->setBasemap(velorin::Basemap::planIGN);
        velorin::Camera camera = canvas->camera();
        camera.center = WorldPoint::fromLatitudeLongitude(45.83, 6.86);
        camera.zoom = 13;
        camera.pitch = 1.1;
        canvas->applyCamera(camera, true);
        canvas->renderer().textures = cache;
    }

    // A tour 20 km away: 8 s of approach, its 60 s lap and 14 s outro, 4,921 frames.
    void startTour()
    {
        const WorldPoint centre = canvas->camera().center;
        const WorldPoint place {centre.x, centre.y - 20000 / centre.metersPerWorldUnit()};
        canvas->startFlight({"p", "Aiguille", velorin::Toponym::Kind::summit, place.latitude(), place.longitude(), 1,
                                std::nullopt},
            true);
    }

    // One display frame, then every tile its frames asked for.
    void step()
    {
        clock->advance(0.2);
        canvas->step(clock->now(), clock->now() + 1.0 / 60);
        for (const auto& key : canvas->renderer().desired) {
            if (!cache->contains(key))
                cache->insert(tile, key);
        }
    }
};

// The time each prepared frame of a tour costs, over the tiles already cached: measured
// against the 6 ms that a display frame gives to preparation.
void preparedFlightFrame(benchmark::State& state)
{
    FlightScene scene;
    scene.startTour();
    // A first preparation loads every tile of the flight; the timed ones find them there.
    while (scene.canvas->flight() && !scene.canvas->flight()->prepared->isComplete())
        scene.step();
    std::size_t frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        scene.startTour();
        state.ResumeTiming();
        while (scene.canvas->flight() && !scene.canvas->flight()->prepared->isComplete())
            scene.step();
        frames += scene.canvas->flight()->prepared->frameCount();
    }
    state.SetItemsProcessed(std::int64_t(frames));
    state.counters["msPerFrame"]
        = benchmark::Counter(double(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(preparedFlightFrame)->Unit(benchmark::kMillisecond)->Iterations(2);

// The memory a whole prepared tour keeps of its own: the frames' draw records and vertex
// lists, meshes and textures being shared with the live scene.
void preparedTourMemory(benchmark::State& state)
{
    FlightScene scene;
    std::size_t bytes = 0;
    std::size_t frames = 0;
    for (auto _ : state) {
        scene.startTour();
        while (scene.canvas->flight() && !scene.canvas->flight()->prepared->isComplete())
            scene.step();
        const auto& prepared = *scene.canvas->flight()->prepared;
        frames = prepared.frames().size();
        bytes = 0;
        for (const auto& frame : prepared.frames()) {
            frame.scene.restore(scene.canvas->renderer());
            const auto& renderer = scene.canvas->renderer();
            bytes += sizeof(frame) + renderer.preparedFlightOrder->size() * sizeof(velorin::MapRenderer::Draw)
                + (renderer.preparedFlightSky->size() + renderer.solidVertices.size()) * sizeof(velorin::SolidVertex);
        }
    }
    state.counters["frames"] = double(frames);
    state.counters["MiB"] = double(bytes) / (1 << 20);
}
BENCHMARK(preparedTourMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// The preload's list of a tour: 34 cameras and the tiles each shows, at the flight's start.
void tourPreloadList(benchmark::State& state)
{
    FlightScene scene;
    scene.startTour();
    std::size_t tiles = 0;
    for (auto _ : state)
        tiles = scene.canvas->flightPreloadList(*scene.canvas->flight()).tiles.size();
    state.counters["tiles"] = double(tiles);
}
BENCHMARK(tourPreloadList)->Unit(benchmark::kMillisecond);

} // namespace
