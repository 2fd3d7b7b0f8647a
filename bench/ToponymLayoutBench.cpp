#include "MountainRelief.h"
#include "canvas/MapCanvasView.h"
#include "features/ToponymService.h"
#include "map-data/TerrainService.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "platform/UserDefaults.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/ShaderLibrary.h"
#include "testing/TemporaryFolder.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

using velorin::Camera;

// The Écrins seen from above La Bérarde, pitched at 65°, zoom 14, the relief loaded, with
// 400 summits and cols on the ground in view (the worst case: each needs the relief's
// test), a tenth of them beyond the sides.
struct PitchedScene {
    static constexpr int kNames = 400;

    testing_support::TemporaryFolder folder;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<velorin::DiskStore> store = std::make_shared<velorin::DiskStore>(folder / "cache", folder / "offline");
    platform::HttpSession session;
    std::shared_ptr<velorin::TerrainService> terrain;
    std::shared_ptr<velorin::ToponymService> toponyms;
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library{gpu::ShaderLibrary::defaultFolder()};
    bench_mountains::OverlayWindow window;
    std::shared_ptr<velorin::MapCanvasView> canvas;

    PitchedScene()
    {
        const Camera camera = bench_mountains::pitchedEcrins();
        const velorin::WorldRect seen = camera.visibleRect();
        terrain = bench_mountains::loadedRelief(*store, session, *mainQueue, *clock, seen);

        std::mt19937 random(11);
        std::map<std::pair<int, int>, std::vector<velorin::Toponym>> cells;
        for (int i = 0; i < kNames; ++i) {
            const Camera::Point screen{(double(random() % 11'000) / 10'000 - 0.05) * camera.viewSize.width,
                (0.2 + 0.8 * double(random() % 10'000) / 10'000) * camera.viewSize.height};
            const velorin::WorldPoint at = camera.worldPoint(screen);
            velorin::Toponym name{"DETAIL_OROGRAPHIQUE." + std::to_string(i), "Pointe " + std::to_string(i),
                i % 3 == 0 ? velorin::Toponym::Kind::col : velorin::Toponym::Kind::summit, at.latitude(),
                at.longitude(), 1 + i % 2, 2000 + i};
            cells[{int(at.x * 2048), int(at.y * 2048)}].push_back(std::move(name));
        }
        for (const auto& [cell, names] : cells) {
            const std::string text = nlohmann::ordered_json(names).dump();
            store->writeNow(std::as_bytes(std::span(text.data(), text.size())),
                velorin::ToponymService::cacheKey(cell.first, cell.second));
        }
        velorin::ToponymService::Dependencies dependencies;
        dependencies.store = store;
        dependencies.session = std::make_shared<platform::HttpSession>();
        dependencies.hosts = bench_mountains::unreachableHosts();
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        toponyms = std::make_shared<velorin::ToponymService>(std::move(dependencies));
        toponyms->request(seen, camera.zoom);
        toponyms->waitForLoads();

        velorin::MapCanvasView::Environment environment{clock, mainQueue,
            std::make_shared<platform::UserDefaults>(folder / "defaults.json"), folder / "VelorinGestes.log",
            {"velorin"}, {}};
        canvas = velorin::MapCanvasView::make(window, *context, library,
            {velorin::SheetCatalog{}, {}, {}, terrain, {}, {}, toponyms}, std::move(environment));
        canvas->renderer().camera = camera;
        canvas->renderer().prepareScene(clock->now());
        mainQueue->drain();
    }
};

// One moving frame's labels: the view point of every candidate, hidden by the relief or
// not, then the greedy placement.
void layoutToponymsPitched(benchmark::State& state)
{
    PitchedScene scene;
    std::size_t placed = 0;
    for (auto _ : state) {
        scene.clock->advance(1.0 / 60);
        const auto placements = scene.canvas->layoutToponyms();
        placed = placements.size();
        benchmark::DoNotOptimize(placements);
    }
    if (placed == 0)
        state.SkipWithError("no label placed");
    state.counters["candidates"] = double(scene.toponyms->visibleToponyms(14).size());
    state.counters["placed"] = double(placed);
}
BENCHMARK(layoutToponymsPitched)->Unit(benchmark::kMillisecond);

} // namespace
