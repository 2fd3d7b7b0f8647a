#include "features/ForestLoader.h"

#include "ForestImages.h"
#include "features/AerialTiles.h"
#include "features/TreePlacement.h"
#include "map-data/Basemap.h"
#include "map-data/TileSources.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "platform/UserDefaults.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

using namespace velorin;
using namespace forest_testing;
using testing_support::LoopbackServer;
using Key = ForestService::Key;

namespace {

constexpr std::int64_t kX = 16860;
constexpr std::int64_t kY = 11744;
constexpr const char* kForestLayer = "LANDCOVER.FORESTINVENTORY.V2";
constexpr const char* kPhotoLayer = "ORTHOIMAGERY.ORTHOPHOTOS";

std::string text(const std::vector<std::byte>& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The point in the middle of a tile: a view of it covers that tile alone.
WorldRect middleOf(std::int64_t x, std::int64_t y)
{
    const double n = 32768;
    return {(x + 0.5) / n, (y + 0.5) / n, (x + 0.5) / n, (y + 0.5) / n};
}

// The rectangle over columns x…x + columns − 1 and rows y…y + rows − 1.
WorldRect tilesFrom(std::int64_t x, std::int64_t y, int columns, int rows)
{
    const double n = 32768;
    return {(x + 0.5) / n, (y + 0.5) / n, (x + columns - 0.5) / n, (y + rows - 0.5) / n};
}

} // namespace

// A loader over a loopback WMTS that answers every inventory tile with `inventory` and every
// aerial photo with `photo`, except the photos listed as missing.
class ForestLoaderTest : public ::testing::Test {
protected:
    testing_support::LogCapture log;
    testing_support::TemporaryFolder folder;
    // What the server answers; before it, so that it stops before they go.
    std::mutex mutex;
    int inventoryStatus = 200;
    std::string inventory = text(inventoryTile(kConiferColour));
    std::string photo = text(jpeg(aerialPhoto(256, {{40, 40}, {120, 60}, {200, 200}}, {{60, 180}})));
    std::set<std::pair<std::int64_t, std::int64_t>> missingPhotos;
    LoopbackServer server;
    DiskStore store{folder / "cache", folder / "offline"};
    platform::HttpSession session;
    platform::DrainableMainQueue mainQueue;
    platform::ManualClock clock;
    std::unique_ptr<ForestLoader> loader;
    int changes = 0;

    void SetUp() override
    {
        server.route("/wmts", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            const std::string layer = request.get_param_value("LAYER");
            const std::int64_t column = std::stoll(request.get_param_value("TILECOL"));
            const std::int64_t row = std::stoll(request.get_param_value("TILEROW"));
            if (layer == kForestLayer) {
                response.status = inventoryStatus;
                response.set_content(inventory, "image/png");
            } else if (layer == kPhotoLayer && !missingPhotos.contains({column, row})) {
                response.set_content(photo, "image/jpeg");
            } else {
                response.status = 404;
            }
        });
        loader = makeLoader(loopbackHosts());
    }

    void TearDown() override { loader.reset(); }

    ServiceHosts loopbackHosts() const
    {
        ServiceHosts hosts;
        hosts.scheme = "http";
        hosts.ignHost = "127.0.0.1:" + std::to_string(server.port());
        return hosts;
    }

    std::unique_ptr<ForestLoader> makeLoader(const ServiceHosts& hosts, TileRelay* relay = nullptr)
    {
        auto made = std::make_unique<ForestLoader>(store, session, hosts, mainQueue, clock, relay);
        made->onChange = [this] { ++changes; };
        return made;
    }

    void serve(const std::function<void()>& change)
    {
        std::lock_guard lock(mutex);
        change();
    }

    // Runs the main-queue block with which a load ends.
    void finishLoad()
    {
        ASSERT_TRUE(mainQueue.runOneWaiting(20)) << "the load never ended";
    }

    int requestsFor(std::string_view layer) const
    {
        int count = 0;
        for (const auto& request : server.requests())
            count += request.target.find(layer) != std::string::npos;
        return count;
    }

    void writeFile(const std::filesystem::path& file, const std::vector<std::byte>& bytes)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    bool nothingUnder(const std::string& folderName) const
    {
        return !std::filesystem::exists(folder / "cache" / folderName) && !std::filesystem::exists(folder / "offline" / folderName);
    }
};

TEST_F(ForestLoaderTest, AWideViewStartsNothingAndANarrowOneItsNearestTilesAFewAtATime)
{
    loader->request(tilesFrom(kX, kY, 2, 13));
    EXPECT_EQ(loader->treeLoadCount(), 0u) << "26 tiles";
    loader->requestCanopy(tilesFrom(kX, kY, 1, 17));
    EXPECT_EQ(loader->canopyLoadCount(), 0u) << "17 tiles";

    loader->request(tilesFrom(kX - 2, kY - 2, 5, 5));
    EXPECT_EQ(loader->treeLoadCount(), 3u) << "25 tiles";
    loader->requestCanopy(tilesFrom(kX - 1, kY - 1, 4, 4));
    EXPECT_EQ(loader->canopyLoadCount(), 2u) << "16 tiles";
    loader->request(tilesFrom(kX - 2, kY - 2, 5, 5));
    EXPECT_EQ(loader->treeLoadCount(), 3u) << "a second pass starts no more";

    for (int load = 0; load < 5; ++load)
        finishLoad();
    EXPECT_EQ(loader->treeLoadCount(), 0u);
    EXPECT_EQ(changes, 5);
    ASSERT_EQ(loader->tiles().size(), 3u);
    EXPECT_TRUE(loader->tiles().contains({15, kX, kY})) << "the middle tile comes first";
    for (const auto& [key, trees] : loader->tiles())
        EXPECT_EQ(std::abs(key.x - kX) + std::abs(key.y - kY) <= 1, true) << key.x << " " << key.y;
}

TEST_F(ForestLoaderTest, AFailedTileIsHeldOffAMinute)
{
    serve([&] { inventoryStatus = 503; });
    loader->request(middleOf(kX, kY));
    loader->requestCanopy(middleOf(kX, kY));
    finishLoad();
    finishLoad();
    EXPECT_TRUE(loader->tiles().empty());
    EXPECT_TRUE(loader->treesFailed({15, kX, kY}));
    EXPECT_TRUE(loader->canopyFailed({15, kX, kY}));
    EXPECT_EQ(changes, 0) << "a failure changes nothing to draw";

    clock.advance(59);
    loader->request(middleOf(kX, kY));
    loader->requestCanopy(middleOf(kX, kY));
    EXPECT_EQ(loader->treeLoadCount() + loader->canopyLoadCount(), 0u);

    serve([&] { inventoryStatus = 200; });
    clock.advance(1);
    loader->request(middleOf(kX, kY));
    loader->requestCanopy(middleOf(kX, kY));
    EXPECT_EQ(loader->treeLoadCount(), 1u);
    EXPECT_EQ(loader->canopyLoadCount(), 1u);
    finishLoad();
    finishLoad();
    EXPECT_TRUE(loader->tiles().contains({15, kX, kY}));
    EXPECT_TRUE(loader->canopies().contains({15, kX, kY}));
}

TEST_F(ForestLoaderTest, KeepsTheMostRecentlyMadeTiles)
{
    // Inventory tiles without forest on disk, so that nothing is downloaded.
    const auto bare = inventoryTile(kClear);
    for (int i = 0; i < 65; ++i)
        writeFile(folder / "cache" / ForestLoader::forestDiskKey(15, kX + i, kY), bare);
    struct Case {
        bool canopy;
        std::size_t kept;
    };
    for (const Case& c : {Case{false, 64}, Case{true, 16}}) {
        const auto count = [&] { return c.canopy ? loader->canopies().size() : loader->tiles().size(); };
        const auto holds = [&](std::int64_t x) {
            return c.canopy ? loader->canopies().contains({15, x, kY}) : loader->tiles().contains({15, x, kY});
        };
        for (std::size_t i = 0; i <= c.kept; ++i) {
            c.canopy ? loader->requestCanopy(middleOf(kX + std::int64_t(i), kY))
                     : loader->request(middleOf(kX + std::int64_t(i), kY));
            finishLoad();
            if (i + 1 == c.kept) {
                EXPECT_EQ(count(), c.kept);
            }
        }
        EXPECT_EQ(count(), c.kept);
        EXPECT_FALSE(holds(kX)) << "the first tile made goes";
        EXPECT_TRUE(holds(kX + 1));
        EXPECT_TRUE(holds(kX + std::int64_t(c.kept)));
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(ForestLoaderTest, ATileWithoutForestHasNoTreesAndNeedsNoPhotos)
{
    serve([&] { inventory = text(inventoryTile(kClear)); });
    loader->request(middleOf(kX, kY));
    loader->requestCanopy(middleOf(kX, kY));
    finishLoad();
    finishLoad();
    ASSERT_TRUE(loader->tiles().contains({15, kX, kY}));
    EXPECT_TRUE(loader->tiles().at({15, kX, kY}).empty());
    ASSERT_TRUE(loader->canopies().contains({15, kX, kY}));
    EXPECT_EQ(loader->canopies().at({15, kX, kY}).side, 0);
    EXPECT_EQ(requestsFor(kPhotoLayer), 0);
    EXPECT_EQ(changes, 2);
}

TEST_F(ForestLoaderTest, AsksTheRelayForTheInventoryTileAndPhotosWithTheirExactQueries)
{
    const std::string token = "0123456789abcdef0123456789abcdef";
    ServiceHosts hosts = loopbackHosts();
    hosts.relayHost = hosts.ignHost;
    hosts.relayToken = token;
    testing_support::TemporaryFolder defaultsFolder;
    platform::UserDefaults defaults(defaultsFolder / "defaults.json");
    TileRelay relay(hosts, clock, defaults);
    server.route("/_etat", LoopbackServer::reply(200, "ok"));
    server.route("/" + token + "/*", [this](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex);
        const std::string layer = request.get_param_value("LAYER");
        response.set_content(layer == kForestLayer ? inventory : photo, "image/png");
    });
    const std::string probe = ForestLoader::forestTileURL(hosts, 15, kX, kY);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return relay.relayedURL(probe) != probe; })) << "the relay never answered";

    loader = makeLoader(hosts, &relay);
    EXPECT_EQ(loader->download({15, kX, kY}),
        (FileBatchDownload::Item {ForestLoader::forestDiskKey(15, kX, kY), relay.relayedURL(probe)}))
        << "a flyover fetches it ahead through the relay too";
    EXPECT_EQ(makeLoader(hosts)->download({15, kX, kY}).url, probe) << "without a relay, upstream";
    loader->request(middleOf(kX, kY));
    finishLoad();
    // The canopy then finds the files the trees were made from.
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return store.exists("web/orthophoto/17/67443_46979.jpg"); }));
    loader->requestCanopy(middleOf(kX, kY));
    finishLoad();

    const std::string prefix = "/" + token + "/" + hosts.ignHost;
    std::multiset<std::string> targets;
    for (const auto& request : server.requests())
        targets.insert(request.target);
    EXPECT_EQ(targets.count(prefix + "/wmts?SERVICE=WMTS&REQUEST=GetTile&VERSION=1.0.0"
                                     "&LAYER=LANDCOVER.FORESTINVENTORY.V2&STYLE=normal&TILEMATRIXSET=PM_6_16"
                                     "&TILEMATRIX=15&TILEROW=11744&TILECOL=16860&FORMAT=image/png"),
        1u);
    const std::string firstPhoto = *basemapTileURL(hosts, Basemap::orthophoto, 17, kX * 4, kY * 4);
    EXPECT_EQ(targets.count(prefix + firstPhoto.substr(firstPhoto.find("/wmts"))), 1u);
    EXPECT_EQ(requestsFor(kPhotoLayer), 16) << "each photo is downloaded once, then kept";
    EXPECT_EQ(server.requestCount("/wmts"), 0) << "nothing went straight upstream";

    const auto& trees = loader->tiles().at({15, kX, kY});
    EXPECT_FALSE(trees.empty());
    EXPECT_NE(trees, TreePlacement::gridTrees(ForestKinds(kForestTilePixels, 1), 15, kX, kY)) << "crowns, not the grid";
    const auto& canopy = loader->canopies().at({15, kX, kY});
    EXPECT_EQ(canopy.side, 1024);
    EXPECT_TRUE(std::any_of(canopy.heights.begin(), canopy.heights.end(), [](auto height) { return height > 900; }));
    EXPECT_TRUE(std::filesystem::exists(folder / "cache/web/orthophoto/17/67440_46976.jpg"))
        << "kept as the map's own photo tile, which the map then shows without a download of its own";
    EXPECT_FALSE(std::filesystem::exists(folder / "cache/forest/aerial")) << "and kept once";
    loader.reset(); // before the relay it uses
}

TEST_F(ForestLoaderTest, AnInventoryImageThatCannotBeReadFailsTheTileAndIsNotKept)
{
    for (const std::string& body : {std::string("<html>503</html>"), text(png(painted(512, 512, [](int, int) {
             return kConiferColour;
         })))}) {
        serve([&] { inventory = body; });
        loader->request(middleOf(kX, kY));
        finishLoad();
        EXPECT_TRUE(loader->tiles().empty());
        clock.advance(ForestLoader::kRetryAfterFailureSeconds);
    }
    EXPECT_TRUE(nothingUnder("forest"));

    // A damaged copy on disk is dropped and downloaded again.
    const auto diskFile = folder / "cache" / ForestLoader::forestDiskKey(15, kX, kY);
    writeFile(diskFile, {std::byte('x')});
    serve([&] { inventory = text(inventoryTile(kConiferColour)); });
    loader->request(middleOf(kX, kY));
    finishLoad();
    EXPECT_TRUE(loader->tiles().contains({15, kX, kY}));
    EXPECT_TRUE(LoopbackServer::waitUntil([&] {
        std::ifstream file(diskFile, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {}) == inventory;
    }));
}

TEST_F(ForestLoaderTest, WithAPhotoMissingTreesFallBackToTheGridAndTheCanopyFails)
{
    serve([&] { missingPhotos.insert({kX * 4 + 2, kY * 4 + 1}); });
    loader->request(middleOf(kX, kY));
    loader->requestCanopy(middleOf(kX, kY));
    finishLoad();
    finishLoad();
    EXPECT_EQ(loader->tiles().at({15, kX, kY}), TreePlacement::gridTrees(ForestKinds(kForestTilePixels, 1), 15, kX, kY));
    EXPECT_FALSE(loader->canopies().contains({15, kX, kY}));
    EXPECT_TRUE(loader->canopyFailed({15, kX, kY}));
    EXPECT_FALSE(std::filesystem::exists(folder / fmt::format("cache/web/orthophoto/17/{}_{}.jpg", kX * 4 + 2, kY * 4 + 1)));
}

TEST_F(ForestLoaderTest, TakesThePhotosOfTheMapsOwnTilesWithoutDownloadingThem)
{
    for (const auto& tile : AerialTiles::orthophotoTiles(loopbackHosts(), 15, kX, kY)) {
        const auto bytes = std::as_bytes(std::span(photo.data(), photo.size()));
        writeFile(folder / "offline" / tile.mapKey, {bytes.begin(), bytes.end()});
    }
    loader->request(middleOf(kX, kY));
    finishLoad();
    EXPECT_NE(loader->tiles().at({15, kX, kY}), TreePlacement::gridTrees(ForestKinds(kForestTilePixels, 1), 15, kX, kY));
    EXPECT_EQ(requestsFor(kPhotoLayer), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "cache/web")) << "nothing is written over them";
}

TEST_F(ForestLoaderTest, ALoadThatEndsAfterTheLoaderIsGoneDoesNothing)
{
    server.route("/wmts", server.delayed(0.3, LoopbackServer::reply(200, inventory)));
    loader->request(tilesFrom(kX, kY, 2, 2));
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount() >= 1; }));
    loader.reset();
    mainQueue.drain();
    EXPECT_EQ(changes, 0);
}
