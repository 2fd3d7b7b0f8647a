#include "StillWindow.h"

#include "canvas/MapCanvasView.h"
#include "map-data/DiskStore.h"
#include "map-data/TextureCache.h"
#include "map-data/TileLoader.h"
#include "platform/DrainableMainQueue.h"
#include "platform/HttpSession.h"
#include "platform/ManualClock.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/ShaderLibrary.h"
#include "renderer/BuildingService.h"
#include "renderer/ForestService.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <vector>

namespace {

using velorin::FlyoverMode;
using velorin::MapCanvasView;
using velorin::WorldPoint;

// Forest and building sources that only say where their files are, as the real ones do.
struct NamedForest final : velorin::ForestService {
    const Table<std::vector<Tree>>& tiles() const override { return trees; }
    const Table<Canopy>& canopies() const override { return canopyTable; }
    bool treesFailed(const Key&) const override { return false; }
    bool canopyFailed(const Key&) const override { return false; }
    void request(const velorin::WorldRect&) override { }
    void requestCanopy(const velorin::WorldRect&) override { }
    velorin::FileBatchDownload::Item download(const Key& key) const override
    {
        return {fmt::format("forest/{}/{}_{}.png", key.z, key.x, key.y), "https://data.geopf.fr/wmts"};
    }
    Table<std::vector<Tree>> trees;
    Table<Canopy> canopyTable;
};

struct NamedBuildings final : velorin::BuildingService {
    const velorin::ForestService::Table<std::vector<Vertex>>& tiles() const override { return meshes; }
    void request(const velorin::WorldRect&) override { }
    velorin::FileBatchDownload::Item download(const velorin::ForestService::Key& key) const override
    {
        return {fmt::format("buildings3/{}/{}_{}.json", key.z, key.x, key.y), "https://data.geopf.fr/wfs"};
    }
    velorin::ForestService::Table<std::vector<Vertex>> meshes;
};

// A canvas on Plan IGN over the Chamonix valley, with a tile loader whose providers never
// answer (the preload started with each flyover fetches nothing) and the forest and
// building sources, on a manual clock.
struct FlyoverScene {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "velorin-flyover-bench";
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library {gpu::ShaderLibrary::defaultFolder()};
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock);
    std::shared_ptr<velorin::TileLoader> loader;
    bench_canvas::StillWindow window;
    std::shared_ptr<MapCanvasView> canvas;

    FlyoverScene()
    {
        velorin::TileLoader::Dependencies dependencies;
        dependencies.store = std::make_shared<velorin::DiskStore>(folder / "cache", folder / "offline");
        dependencies.cache = cache;
        dependencies.session = std::make_shared<platform::HttpSession>();
        dependencies.hosts.scheme = "http";
        dependencies.hosts.ignHost = dependencies.hosts.terrariumHost = "127.0.0.1:9";
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        loader = std::make_shared<velorin::TileLoader>(std::move(dependencies));
        canvas = MapCanvasView::make(window, *context, library,
            MapCanvasView::Services {velorin::SheetCatalog {}, loader, cache, {}, std::make_shared<NamedForest>(),
                std::make_shared<NamedBuildings>()},
            {clock, mainQueue, nullptr, {}, {"velorin"}, {}});
        canvas->layout();
        canvas->setBasemap(velorin::Basemap::planIGN);
    }

    ~FlyoverScene()
    {
        canvas.reset();
        loader.reset();
        std::filesystem::remove_all(folder);
    }

    // A 10 km walk curving gently north-east from Chamonix, a point every 50 m.
    void startFlyover(FlyoverMode mode)
    {
        constexpr double kLengthMeters = 10000;
        constexpr double kRadiusMeters = 20000;
        const WorldPoint start = WorldPoint::fromLatitudeLongitude(45.92, 6.87);
        const double unit = 1 / start.metersPerWorldUnit();
        std::vector<WorldPoint> walk;
        for (double s = 0; s <= kLengthMeters; s += 50) {
            const double angle = s / kRadiusMeters;
            walk.push_back({start.x + kRadiusMeters * (1 - std::cos(angle)) * unit, start.y - kRadiusMeters * std::sin(angle) * unit});
        }
        canvas->setFlyoverMode(mode);
        canvas->startFlyover(walk);
    }
};

// The preload's lists of a 10 km flyover: its samples' cameras and the tiles each shows,
// the elevation grids, and the forest, aerial photo and building files of the band around
// the path. Built on the GUI thread as the flyover starts.
void flyoverPreloadList(benchmark::State& state, FlyoverMode mode)
{
    FlyoverScene scene;
    scene.startFlyover(mode);
    const velorin::Flyover flyover = *scene.canvas->flyover();
    MapCanvasView::FlyoverPreloadList list;
    for (auto _ : state)
        list = scene.canvas->flyoverPreloadList(flyover);
    state.counters["cameras"] = double(list.cameras);
    state.counters["tiles"] = double(list.tiles.size());
    state.counters["extras"] = double(list.extras.size());
}
BENCHMARK_CAPTURE(flyoverPreloadList, follow, FlyoverMode::follow)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(flyoverPreloadList, drone, FlyoverMode::drone)->Unit(benchmark::kMillisecond);

} // namespace
