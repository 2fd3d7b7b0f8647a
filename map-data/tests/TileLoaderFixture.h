#pragma once

// A tile loader wired to a loopback server, a temporary disk store, a manual clock and a
// drainable main queue. Its own queues are manual executors unless a test asks for the
// real ones, so the order of its queued work is the test's. Tiles are "TILE…" bytes, which
// the fixture's decoder turns into 1 × 1 textures; anything else does not decode.

#include "ManualExecutor.h"
#include "map-data/Basemap.h"
#include "map-data/TileLoader.h"
#include "map-data/TileLoaderEngine.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "platform/UserDefaults.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <chrono>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

namespace testing_support {

inline std::shared_ptr<gpu::Texture> decodeTestTile(std::span<const std::byte> bytes)
{
    constexpr std::string_view kMagic = "TILE";
    if (bytes.size() < kMagic.size()
        || std::string_view(reinterpret_cast<const char*>(bytes.data()), kMagic.size()) != kMagic)
        return nullptr;
    return gpu::Texture::make(gpu::PixelFormat::rgba8, 1, 1, std::vector<std::byte>(4));
}

class TileLoaderFixture : public ::testing::Test {
protected:
    static constexpr std::int64_t kCacheLimitBytes = std::int64_t(64) << 20;

    LogCapture log;
    TemporaryFolder folder;
    LoopbackServer server;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(1000.0);
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<velorin::DiskStore> store
        = std::make_shared<velorin::DiskStore>(folder / "cache", folder / "offline");
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock, kCacheLimitBytes);
    std::shared_ptr<platform::HttpSession> session
        = std::make_shared<platform::HttpSession>(velorin::TileLoader::sessionOptions());
    std::shared_ptr<ManualExecutor> queue = std::make_shared<ManualExecutor>();
    std::shared_ptr<ManualExecutor> decodeQueue = std::make_shared<ManualExecutor>();
    std::shared_ptr<ManualExecutor> mosaicQueue = std::make_shared<ManualExecutor>();
    std::shared_ptr<ManualExecutor> sliceQueue = std::make_shared<ManualExecutor>();
    platform::UserDefaults defaults { folder / "defaults.json" };
    std::vector<velorin::Sheet> sheets;
    // The relay's host and token, when a test has one.
    velorin::ServiceHosts extraHosts;
    std::shared_ptr<velorin::TileRelay> relay;
    // Manual queues decode real images too.
    bool decodeImages = false;
    int tilesReady = 0;
    bool readyOffMainThread = false;
    std::vector<velorin::TileLoaderStatus> published;
    std::unique_ptr<velorin::TileLoader> loader;

    void TearDown() override { loader.reset(); }

    velorin::ServiceHosts hosts() const
    {
        velorin::ServiceHosts hosts = extraHosts;
        hosts.scheme = "http";
        auto local = fmt::format("127.0.0.1:{}", server.port());
        hosts.ignHost = local;
        hosts.openTopoHost = local;
        hosts.swisstopoHost = local;
        hosts.mediaHost = local;
        return hosts;
    }

    // Real queues also decode real images.
    void start(bool realQueues = false)
    {
        velorin::TileLoader::Dependencies dependencies;
        dependencies.catalog = velorin::SheetCatalog(sheets);
        dependencies.store = store;
        dependencies.cache = cache;
        dependencies.session = session;
        dependencies.hosts = hosts();
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        if (!realQueues && !decodeImages)
            dependencies.decode = decodeTestTile;
        dependencies.relay = relay;
        if (!realQueues) {
            dependencies.queue = queue;
            dependencies.decodeQueue = decodeQueue;
            dependencies.mosaicQueue = mosaicQueue;
            dependencies.sliceQueue = sliceQueue;
        }
        loader = std::make_unique<velorin::TileLoader>(std::move(dependencies));
        loader->setOnTileReady([this] {
            ++tilesReady;
            readyOffMainThread |= !mainQueue->isMainThread();
        });
        loader->setOnStatusChange([this](const velorin::TileLoaderStatus& status) { published.push_back(status); });
    }

    // Runs the manual queues and the main queue until `condition` holds; false after 5 s.
    bool settle(const std::function<bool()>& condition)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            runQueues();
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void runQueues()
    {
        while (queue->runAll() + decodeQueue->runAll() + mosaicQueue->runAll() + sliceQueue->runAll()
                + mainQueue->drain()
            > 0) {
        }
    }

    // Asks for `keys` and runs the pass it starts.
    void want(std::vector<velorin::TileKey> keys)
    {
        loader->setDesired(std::move(keys));
        runQueues();
    }

    // Asks for `keys` and runs that pass alone: the answers of the transfers it starts wait
    // on the loader's queue.
    void wantAlone(std::vector<velorin::TileKey> keys)
    {
        loader->setDesired(std::move(keys));
        ASSERT_EQ(queue->pendingCount(), 1U);
        queue->runOne();
    }

    // Waits until every disk write asked for so far has landed.
    void waitForDiskWrites()
    {
        static int probes = 0;
        auto key = fmt::format("probe/{}", ++probes);
        store->write({ std::byte { 1 } }, key);
        ASSERT_TRUE(LoopbackServer::waitUntil([&] { return std::filesystem::exists(folder / "cache" / key); }));
    }

    void putFile(const std::filesystem::path& path, std::string_view bytes)
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::filesystem::path cached(std::string_view diskKey) const { return folder / "cache" / std::string(diskKey); }
    std::filesystem::path offline(std::string_view diskKey) const { return folder / "offline" / std::string(diskKey); }
};

// An OpenTopoMap tile: its server path is "/12/<i>/7.png", its disk key
// "web/openTopo/12/<i>_7.png".
inline velorin::TileKey topoKey(int i) { return velorin::TileKey::webTile(velorin::Basemap::openTopo, 12, i, 7); }
inline std::string topoPath(int i) { return fmt::format("/12/{}/7.png", i); }
inline std::string topoDiskKey(int i) { return fmt::format("web/openTopo/12/{}_7.png", i); }

inline LoopbackServer::Handler tileReply()
{
    return [](const httplib::Request& request, httplib::Response& response) {
        response.status = 200;
        response.set_content("TILE" + request.path, "image/png");
    };
}

} // namespace testing_support
