#include "features/BuildingLoader.h"

#include "BuildingFootprints.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

using namespace velorin;
using namespace building_testing;
using testing_support::LoopbackServer;
using Key = ForestService::Key;

namespace {

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

const std::string kTwoHouses
    = collection({feature(ring(rectangle(10, 10, 12, 8))), feature(ring(rectangle(40, 10, 8, 8)), {{"hauteur", 9.0}})});

} // namespace

// A loader over a loopback feature service that answers every tile with `answer`.
class BuildingLoaderTest : public ::testing::Test {
protected:
    testing_support::LogCapture log;
    testing_support::TemporaryFolder folder;
    // What the server answers; before it, so that it stops before they go.
    std::mutex mutex;
    int status = 200;
    std::string answer = kTwoHouses;
    // The query of the last request, decoded.
    std::multimap<std::string, std::string> query;
    LoopbackServer server;
    DiskStore store{folder / "cache", folder / "offline"};
    platform::HttpSession session;
    platform::DrainableMainQueue mainQueue;
    platform::ManualClock clock;
    std::unique_ptr<BuildingLoader> loader;
    int changes = 0;

    void SetUp() override
    {
        server.route("/wfs/ows", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            query = {request.params.begin(), request.params.end()};
            response.status = status;
            response.set_content(answer, "application/json");
        });
        loader = std::make_unique<BuildingLoader>(store, session, hosts(), mainQueue, clock);
        loader->onChange = [this] { ++changes; };
    }

    void TearDown() override { loader.reset(); }

    ServiceHosts hosts() const
    {
        ServiceHosts hosts;
        hosts.scheme = "http";
        hosts.ignHost = "127.0.0.1:" + std::to_string(server.port());
        return hosts;
    }

    void serve(int newStatus, std::string body)
    {
        std::lock_guard lock(mutex);
        status = newStatus;
        answer = std::move(body);
    }

    // Runs the main-queue block with which a load ends.
    void finishLoad() { ASSERT_TRUE(mainQueue.runOneWaiting(20)) << "the load never ended"; }

    std::filesystem::path cached(std::int64_t x, std::int64_t y = kY) const
    {
        return folder / "cache" / BuildingLoader::diskKey(kZ, x, y);
    }

    static void writeFile(const std::filesystem::path& file, const std::string& text)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    static std::string readFile(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // Waits for the writes asked for so far: the store writes in order.
    void flushWrites()
    {
        store.write({std::byte('.')}, "flushed");
        ASSERT_TRUE(LoopbackServer::waitUntil([&] { return std::filesystem::exists(folder / "cache" / "flushed"); }));
        std::filesystem::remove(folder / "cache" / "flushed");
    }
};

TEST_F(BuildingLoaderTest, AWideViewStartsNothingAndANarrowOneItsNearestTilesThreeAtATime)
{
    loader->request(tilesFrom(kX, kY, 2, 13));
    EXPECT_EQ(loader->loadCount(), 0u) << "26 tiles";

    loader->request(tilesFrom(kX - 2, kY - 2, 5, 5));
    EXPECT_EQ(loader->loadCount(), 3u) << "25 tiles";
    loader->request(tilesFrom(kX - 2, kY - 2, 5, 5));
    loader->request(middleOf(kX + 5, kY + 5));
    EXPECT_EQ(loader->loadCount(), 3u) << "three loads at most, even for another tile";

    for (int load = 0; load < 3; ++load)
        finishLoad();
    EXPECT_EQ(changes, 3);
    ASSERT_EQ(loader->tiles().size(), 3u);
    EXPECT_TRUE(loader->tiles().contains({kZ, kX, kY})) << "the middle tile comes first";
    for (const auto& [key, vertices] : loader->tiles()) {
        EXPECT_LE(std::abs(key.x - kX) + std::abs(key.y - kY), 1) << key.x << " " << key.y;
        EXPECT_EQ(vertices.size(), 60u);
    }

    // The tiles built stay while a wide view is shown.
    loader->request(tilesFrom(kX, kY, 2, 13));
    EXPECT_EQ(loader->tiles().size(), 3u);
    EXPECT_EQ(loader->loadCount(), 0u);
}

TEST_F(BuildingLoaderTest, AFailedTileWritesNothingAndIsHeldOffAMinute)
{
    struct Case {
        const char* what;
        int status;
        std::string body;
    };
    for (const Case& c : {Case{"a 404", 404, kTwoHouses}, Case{"a 200 that does not decode", 200, "<html>maintenance</html>"}}) {
        clock.advance(3600);
        serve(c.status, c.body);
        loader->request(middleOf(kX, kY));
        finishLoad();
        EXPECT_TRUE(loader->tiles().empty()) << c.what;
        EXPECT_EQ(changes, 0) << c.what;
        flushWrites();
        EXPECT_FALSE(std::filesystem::exists(cached(kX))) << c.what;

        clock.advance(59);
        loader->request(middleOf(kX, kY));
        EXPECT_EQ(loader->loadCount(), 0u) << c.what << ": 59 s after";
    }

    serve(200, kTwoHouses);
    clock.advance(1);
    loader->request(middleOf(kX, kY));
    EXPECT_EQ(loader->loadCount(), 1u) << "60 s after";
    finishLoad();
    EXPECT_TRUE(loader->tiles().contains({kZ, kX, kY}));
    EXPECT_EQ(changes, 1);
    flushWrites();
    EXPECT_EQ(readFile(cached(kX)), kTwoHouses);
}

TEST_F(BuildingLoaderTest, BuildsATileOnDiskWithoutTheNetworkAndReplacesADamagedOne)
{
    // Kept for use offline: read, never fetched nor copied into the cache.
    writeFile(folder / "offline" / BuildingLoader::diskKey(kZ, kX, kY), kTwoHouses);
    writeFile(cached(kX + 1), "{\"features\": [tronqué");
    loader->request(middleOf(kX, kY));
    finishLoad();
    ASSERT_TRUE(loader->tiles().contains({kZ, kX, kY}));
    EXPECT_EQ(loader->tiles().at({kZ, kX, kY}).size(), 60u);
    EXPECT_EQ(server.requestCount(), 0);
    flushWrites();
    EXPECT_FALSE(std::filesystem::exists(cached(kX)));

    serve(200, R"({"type":"FeatureCollection","features":[]})");
    loader->request(middleOf(kX + 1, kY));
    finishLoad();
    ASSERT_TRUE(loader->tiles().contains({kZ, kX + 1, kY}));
    EXPECT_TRUE(loader->tiles().at({kZ, kX + 1, kY}).empty()) << "a tile without buildings is built";
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(server.requestCount(), 1);
    flushWrites();
    EXPECT_EQ(readFile(cached(kX + 1)), R"({"type":"FeatureCollection","features":[]})") << "the damaged copy is replaced";
}

TEST_F(BuildingLoaderTest, KeepsTheSixtyFourMostRecentlyBuiltTiles)
{
    for (int i = 0; i <= 64; ++i)
        writeFile(cached(kX + i), R"({"features":[]})");
    for (int i = 0; i <= 64; ++i) {
        loader->request(middleOf(kX + i, kY));
        finishLoad();
    }
    EXPECT_EQ(loader->tiles().size(), 64u);
    EXPECT_FALSE(loader->tiles().contains({kZ, kX, kY})) << "the first tile built goes";
    EXPECT_TRUE(loader->tiles().contains({kZ, kX + 1, kY}));
    EXPECT_TRUE(loader->tiles().contains({kZ, kX + 64, kY}));
    EXPECT_EQ(server.requestCount(), 0);

    // Gone from memory, it is built again from its file.
    loader->request(middleOf(kX, kY));
    finishLoad();
    EXPECT_TRUE(loader->tiles().contains({kZ, kX, kY}));
    EXPECT_FALSE(loader->tiles().contains({kZ, kX + 1, kY}));
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(BuildingLoaderTest, AsksTheFeatureServiceForTheFootprintsInTheTileBox)
{
    EXPECT_EQ(BuildingLoader::diskKey(15, 16860, 11744), "buildings3/15/16860_11744.json");
    loader->request(middleOf(16384, 11264));
    finishLoad();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/wfs/ows");
    EXPECT_TRUE(requests[0].target.starts_with(
        "/wfs/ows?SERVICE=WFS&VERSION=2.0.0&REQUEST=GetFeature&TYPENAMES=BDTOPO_V3:batiment&CQL_FILTER="))
        << requests[0].target;
    const auto url = BuildingLoader::buildingQueryURL(hosts(), 15, 16384, 11264);
    std::lock_guard lock(mutex);
    const auto value = [&](const std::string& name) {
        const auto found = query.find(name);
        return found == query.end() ? std::string("(absent)") : found->second;
    };
    EXPECT_EQ(value("CQL_FILTER"), "BBOX(geometrie,0.000000,48.915280,0.010986,48.922499,'EPSG:4326')");
    EXPECT_EQ(value("PROPERTYNAME"),
        "hauteur,altitude_minimale_toit,altitude_maximale_toit,materiaux_des_murs,materiaux_de_la_toiture,nature,usage_1,"
        "geometrie");
    EXPECT_EQ(value("COUNT"), "10000");
    EXPECT_EQ(value("OUTPUTFORMAT"), "application/json");
    EXPECT_TRUE(url.ends_with("&COUNT=10000&OUTPUTFORMAT=application%2Fjson")) << url;
    EXPECT_EQ(loader->download({15, 16384, 11264}), (FileBatchDownload::Item {BuildingLoader::diskKey(15, 16384, 11264), url}))
        << "what a flyover fetches ahead";
    EXPECT_EQ(requests[0].target, url.substr(url.find("/wfs/ows")));
}
