#include "map-data/Basemap.h"
#include "map-data/TileLoader.h"
#include "platform/DrainableMainQueue.h"
#include "platform/SteadyClock.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using testing_support::LoopbackServer;
using testing_support::TemporaryFolder;
using velorin::TileKey;

constexpr int kWantedKeys = 500;
constexpr int kCachedKeys = 200;
constexpr int kViewTiles = 60;
constexpr double kServerLatencySeconds = 0.02;

// Holds the loader's work so that a pass runs exactly when the benchmark says.
class HeldExecutor final : public platform::Executor {
public:
    void post(Task task) override
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    void runAll()
    {
        for (;;) {
            Task task;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty())
                    return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

private:
    std::mutex mutex_;
    std::deque<Task> tasks_;
};

TileKey topoKey(int i) { return TileKey::webTile(velorin::Basemap::openTopo, 14, 8000 + i % 40, 5000 + i / 40); }

std::string tileBytes()
{
    std::ifstream file(VELORIN_BENCH_FIXTURES "/tile.jpg", std::ios::binary);
    return { std::istreambuf_iterator<char>(file), {} };
}

struct Rig {
    TemporaryFolder folder;
    LoopbackServer server;
    std::shared_ptr<platform::SteadyClock> clock = std::make_shared<platform::SteadyClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<velorin::DiskStore> store
        = std::make_shared<velorin::DiskStore>(folder / "cache", folder / "offline");
    std::shared_ptr<velorin::TextureCache> cache
        = std::make_shared<velorin::TextureCache>(clock, std::int64_t(1) << 30);
    std::shared_ptr<platform::HttpSession> session
        = std::make_shared<platform::HttpSession>(velorin::TileLoader::sessionOptions());

    velorin::TileLoader::Dependencies dependencies()
    {
        velorin::TileLoader::Dependencies dependencies;
        dependencies.store = store;
        dependencies.cache = cache;
        dependencies.session = session;
        dependencies.hosts.scheme = "http";
        dependencies.hosts.openTopoHost = fmt::format("127.0.0.1:{}", server.port());
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        return dependencies;
    }

    void putOnDisk(const TileKey& key, const std::string& bytes)
    {
        auto path = folder / "cache" / *key.relativePath({});
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
};

// One scheduling pass over 500 wanted keys: 200 cached, 150 on disk, 150 to download.
void BM_PumpPass(benchmark::State& state)
{
    Rig rig;
    rig.server.route("/*", rig.server.stalledBody("", 1000));
    auto texture = gpu::Texture::make(gpu::PixelFormat::rgba8, 256, 256, std::vector<std::byte>(256 * 256 * 4));
    std::vector<TileKey> keys;
    for (int i = 0; i < kWantedKeys; ++i) {
        keys.push_back(topoKey(i));
        if (i < kCachedKeys)
            rig.cache->insert(texture, keys.back());
        else if (i % 2 == 0)
            rig.putOnDisk(keys.back(), "TILE");
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto queue = std::make_shared<HeldExecutor>();
        auto held = std::make_shared<HeldExecutor>();
        auto dependencies = rig.dependencies();
        dependencies.queue = queue;
        dependencies.decodeQueue = held;
        dependencies.mosaicQueue = held;
        dependencies.sliceQueue = held;
        auto loader = std::make_unique<velorin::TileLoader>(std::move(dependencies));
        loader->setDesired(keys);
        state.ResumeTiming();
        queue->runAll();
        state.PauseTiming();
        loader.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PumpPass)->Unit(benchmark::kMicrosecond);

// What the renderer's thread pays each frame to hand over its wish list.
void BM_SetDesired(benchmark::State& state)
{
    Rig rig;
    auto queue = std::make_shared<HeldExecutor>();
    auto dependencies = rig.dependencies();
    dependencies.queue = queue;
    velorin::TileLoader loader(std::move(dependencies));
    std::vector<TileKey> keys;
    for (int i = 0; i < kWantedKeys; ++i)
        keys.push_back(topoKey(i));
    for (auto _ : state) {
        loader.setDesired(keys);
        state.PauseTiming();
        queue->runAll();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SetDesired)->Unit(benchmark::kMicrosecond);

// Filling a 60-tile view from a server answering each tile after 20 ms, with an empty
// disk cache (argument 0) or with every tile already on disk (argument 1).
void BM_FillView(benchmark::State& state)
{
    bool warmDisk = state.range(0) == 1;
    Rig rig;
    auto bytes = tileBytes();
    rig.server.route("/*", rig.server.delayed(kServerLatencySeconds, LoopbackServer::reply(200, bytes)));
    std::vector<TileKey> keys;
    for (int i = 0; i < kViewTiles; ++i)
        keys.push_back(topoKey(i));
    for (auto _ : state) {
        state.PauseTiming();
        rig.cache->clear();
        rig.store->clearCache();
        if (warmDisk) {
            for (const auto& key : keys)
                rig.putOnDisk(key, bytes);
        }
        auto loader = std::make_unique<velorin::TileLoader>(rig.dependencies());
        int ready = 0;
        loader->setOnTileReady([&ready] { ++ready; });
        state.ResumeTiming();
        loader->setDesired(keys);
        while (ready < kViewTiles && rig.mainQueue->runOneWaiting(10)) {
        }
        state.PauseTiming();
        if (ready < kViewTiles)
            state.SkipWithError("the view did not fill");
        loader.reset();
        rig.mainQueue->drain();
        state.ResumeTiming();
    }
    state.counters["tiles/s"] = benchmark::Counter(kViewTiles, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FillView)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
