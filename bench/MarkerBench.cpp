#include "MountainRelief.h"
#include "canvas/MapCanvasView.h"
#include "map-data/TerrainService.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "platform/UserDefaults.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/ShaderLibrary.h"
#include "testing/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

using velorin::Camera;

// The Écrins pitched at 65°, zoom 14, the relief loaded, with photos on the ground in view
// and a tenth of them beyond the sides: every one needs the relief's test.
struct PitchedMarkers {
    testing_support::TemporaryFolder folder;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<velorin::DiskStore> store = std::make_shared<velorin::DiskStore>(folder / "cache", folder / "offline");
    platform::HttpSession session;
    std::shared_ptr<velorin::TerrainService> terrain;
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library{gpu::ShaderLibrary::defaultFolder()};
    bench_mountains::OverlayWindow window;
    std::shared_ptr<velorin::MapCanvasView> canvas;
    Camera camera;

    PitchedMarkers()
    {
        camera = bench_mountains::pitchedEcrins();
        const velorin::WorldRect seen = camera.visibleRect();
        terrain = bench_mountains::loadedRelief(*store, session, *mainQueue, *clock, seen);
        velorin::MapCanvasView::Environment environment{clock, mainQueue,
            std::make_shared<platform::UserDefaults>(folder / "defaults.json"), folder / "VelorinGestes.log",
            {"velorin"}, {}};
        canvas = velorin::MapCanvasView::make(window, *context, library,
            {velorin::SheetCatalog{}, {}, {}, terrain, {}, {}, {}}, std::move(environment));
        canvas->renderer().camera = camera;
        canvas->renderer().prepareScene(clock->now());
        mainQueue->drain();
    }

    std::vector<velorin::TrackPhoto> photos(int count) const
    {
        std::mt19937 random(7);
        std::vector<velorin::TrackPhoto> result;
        for (int i = 0; i < count; ++i) {
            const Camera::Point screen{(double(random() % 11'000) / 10'000 - 0.05) * camera.viewSize.width,
                (0.2 + 0.8 * double(random() % 10'000) / 10'000) * camera.viewSize.height};
            result.push_back({"photo-" + std::to_string(i), {}, camera.worldPoint(screen)});
        }
        return result;
    }
};

// One camera change's marker layout: 200 photo pins placed over the relief.
void layoutMarkersPitched(benchmark::State& state)
{
    PitchedMarkers scene;
    scene.canvas->setPhotos(scene.photos(200));
    for (auto _ : state) {
        scene.clock->advance(1.0 / 60);
        scene.canvas->layoutMarkers();
    }
    state.counters["markers"] = double(scene.canvas->photoPins().size());
}
BENCHMARK(layoutMarkersPitched)->Unit(benchmark::kMillisecond);

// Grouping the whole library: 20,000 photos, those in view placed over the relief and
// gathered into at most 60 pins.
void rebuildLibraryGroups(benchmark::State& state)
{
    PitchedMarkers scene;
    scene.canvas->setLibraryPhotos(scene.photos(20'000));
    for (auto _ : state)
        scene.canvas->rebuildLibraryGroups();
    if (scene.canvas->libraryGroups().empty())
        state.SkipWithError("no group");
    state.counters["groups"] = double(scene.canvas->libraryGroups().size());
}
BENCHMARK(rebuildLibraryGroups)->Unit(benchmark::kMillisecond);

} // namespace
