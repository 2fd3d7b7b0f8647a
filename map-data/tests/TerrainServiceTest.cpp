#include "map-data/CountryOutlineMask.h"
#include "map-data/TerrainService.h"

#include "platform/DrainableMainQueue.h"
#include "platform/UserDefaults.h"
#include "platform/ManualClock.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

using namespace velorin;
using testing_support::LoopbackServer;
using Key = TerrainService::Key;

namespace {

constexpr int kSide = kElevationGridSide;
const Key kParis { 12, 2074, 1409 };
const Key kGeneva { 12, 2117, 1453 };
const Key kMadrid { 12, 2005, 1544 };
constexpr const char* kIGNPath = "/wms-r";
constexpr const char* kTerrariumPaths = "/elevation-tiles-prod/terrarium/*";

std::string fixture(const char* name)
{
    std::ifstream file(std::string(VELORIN_FIXTURES) + "/" + name, std::ios::binary);
    return { std::istreambuf_iterator<char>(file), {} };
}

std::string bil(const ElevationGrid& grid)
{
    std::string bytes(grid.size() * sizeof(float), '\0');
    std::memcpy(bytes.data(), grid.data(), bytes.size());
    return bytes;
}

ElevationGrid sloped()
{
    ElevationGrid grid(kElevationGridCells);
    for (int row = 0; row < kSide; ++row)
        for (int column = 0; column < kSide; ++column)
            grid[row * kSide + column] = float(column + row);
    return grid;
}

std::string terrariumPath(const Key& key)
{
    return "/elevation-tiles-prod/terrarium/" + std::to_string(key.z) + "/" + std::to_string(key.x) + "/"
        + std::to_string(key.y) + ".png";
}

class TerrainServiceTest : public ::testing::Test {
protected:
    testing_support::LogCapture log;
    testing_support::TemporaryFolder folder;
    LoopbackServer server;
    DiskStore store { folder / "cache", folder / "offline" };
    platform::HttpSession session;
    platform::DrainableMainQueue mainQueue;
    platform::ManualClock clock;
    std::unique_ptr<TerrainService> service = makeService();
    int changes = 0;

    ServiceHosts loopbackHosts() const
    {
        ServiceHosts hosts;
        hosts.scheme = "http";
        hosts.ignHost = hosts.terrariumHost = "127.0.0.1:" + std::to_string(server.port());
        return hosts;
    }

    std::unique_ptr<TerrainService> makeService(TileRelay* relay = nullptr)
    {
        auto made = std::make_unique<TerrainService>(store, session, loopbackHosts(), mainQueue, clock, relay);
        made->onChange = [this] { ++changes; };
        return made;
    }

    // Runs the main-queue block with which a download ends.
    void finishDownload()
    {
        ASSERT_TRUE(mainQueue.runOneWaiting(10)) << "the download never ended";
    }

    // Height at the centre of a grid cell, where the sample reads that cell alone.
    double heightAt(const Key& key, int column, int row) const
    {
        const double n = std::exp2(key.z);
        return service->elevationAt((key.x + (column + 0.5) / kSide) / n, (key.y + (row + 0.5) / kSide) / n, key.z);
    }

    void waitForFile(const std::string& key)
    {
        EXPECT_TRUE(LoopbackServer::waitUntil([&] { return store.exists(key); })) << key;
    }
};

// Cells of the Geneva tile on either side of the border, read from the mask itself.
struct BorderCells {
    int french = -1;
    int swiss = -1;
};

BorderCells borderCells()
{
    const double n = std::exp2(kGeneva.z);
    auto mask = countryOutlineMask(kGeneva.x / n, kGeneva.y / n, (kGeneva.x + 1) / n, (kGeneva.y + 1) / n);
    BorderCells cells;
    if (!mask)
        return cells;
    for (int i = kElevationGridCells - 1; i >= 0; --i)
        ((*mask)[i] ? cells.swiss : cells.french) = i;
    return cells;
}

} // namespace

TEST_F(TerrainServiceTest, AnIGNGridInsideFranceIsFetchedKeptOnDiskAndAnswersHeights)
{
    server.route(kIGNPath, LoopbackServer::reply(200, bil(sloped())));
    EXPECT_EQ(service->elevationAt(0.5064, 0.344, 12), 0) << "nothing cached";

    service->load(kParis);
    finishDownload();

    EXPECT_EQ(changes, 1);
    EXPECT_EQ(heightAt(kParis, 10, 20), 30);
    EXPECT_EQ(heightAt(kParis, 255, 255), 510);
    EXPECT_EQ(heightAt(kParis, 10, 20), service->elevationAt((kParis.x + 10.5 / kSide) / 4096, (kParis.y + 20.5 / kSide) / 4096, 18))
        << "a zoom six levels deeper still finds the level-12 grid";
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_NE(server.requests()[0].target.find("BBOX=254382.430,6242153.478,264166.370,6251937.418"), std::string::npos);

    waitForFile("dem-ign/12/2074_1409.bil");
    service = makeService();
    service->load(kParis);
    EXPECT_EQ(heightAt(kParis, 10, 20), 30) << "read from disk at once, on the calling thread";
    EXPECT_EQ(server.requestCount(), 1);
}

TEST_F(TerrainServiceTest, ATerrariumTileOutsideFranceGivesItsEncodedHeights)
{
    server.route(kTerrariumPaths, LoopbackServer::reply(200, fixture("terrarium-gradient.png")));
    service->load(kMadrid);
    finishDownload();

    EXPECT_EQ(server.requestCount(terrariumPath(kMadrid)), 1);
    EXPECT_EQ(heightAt(kMadrid, 10, 20), 10.5);
    EXPECT_EQ(heightAt(kMadrid, 200, 130), 200 + 2 * 256 + 0.5);
    waitForFile("dem/12/2005_1544.png");
}

TEST_F(TerrainServiceTest, ABorderTileTakesTerrariumHeightsOutsideFranceAndInItsHoles)
{
    const BorderCells cells = borderCells();
    ASSERT_GE(cells.french, 0);
    ASSERT_GE(cells.swiss, 0);
    ElevationGrid ign(kElevationGridCells, 400.0f);
    // A no-data cell in France, two rows below the French cell: its 3×3 block is a hole.
    const int frenchRow = cells.french / kSide, frenchColumn = cells.french % kSide;
    const int holeRow = frenchRow < 128 ? frenchRow + 2 : frenchRow - 2;
    ign[holeRow * kSide + frenchColumn] = -99999.0f;
    server.route(kIGNPath, LoopbackServer::reply(200, bil(ign)));
    server.route(kTerrariumPaths, LoopbackServer::reply(200, fixture("terrarium-1000m.png")));

    service->load(kGeneva);
    finishDownload();

    EXPECT_EQ(server.requestCount(terrariumPath(kGeneva)), 1);
    EXPECT_EQ(heightAt(kGeneva, frenchColumn, frenchRow), 400);
    EXPECT_EQ(heightAt(kGeneva, cells.swiss % kSide, cells.swiss / kSide), 1000);
    EXPECT_EQ(heightAt(kGeneva, frenchColumn, holeRow), 1000);
    EXPECT_EQ(heightAt(kGeneva, frenchColumn, (frenchRow + holeRow) / 2), 1000) << "the hole's neighbours";
    EXPECT_EQ(changes, 1);
    waitForFile("dem/12/2117_1453.png");
}

TEST_F(TerrainServiceTest, ABorderTileWhoseFillFailsIsRetriedLaterInsteadOfKeepingZeros)
{
    const BorderCells cells = borderCells();
    ASSERT_GE(cells.french, 0);
    server.route(kIGNPath, LoopbackServer::reply(200, bil(ElevationGrid(kElevationGridCells, 400.0f))));
    server.route(kTerrariumPaths, LoopbackServer::reply(503));

    service->load(kGeneva);
    finishDownload();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(heightAt(kGeneva, cells.french % kSide, cells.french / kSide), 0) << "nothing cached, not even zeros";
    EXPECT_EQ(heightAt(kGeneva, cells.swiss % kSide, cells.swiss / kSide), 0);

    waitForFile("dem-ign/12/2117_1453.bil");
    clock.advance(TerrainService::kRetryAfterFailureSeconds - 1);
    service->load(kGeneva);
    EXPECT_EQ(server.requestCount(terrariumPath(kGeneva)), 1) << "still waiting out the retry delay";

    server.route(kTerrariumPaths, LoopbackServer::reply(200, fixture("terrarium-1000m.png")));
    clock.advance(1);
    service->load(kGeneva);
    finishDownload();
    EXPECT_EQ(server.requestCount(kIGNPath), 1) << "the IGN grid came from disk";
    EXPECT_EQ(server.requestCount(terrariumPath(kGeneva)), 2);
    EXPECT_EQ(heightAt(kGeneva, cells.french % kSide, cells.french / kSide), 400);
    EXPECT_EQ(heightAt(kGeneva, cells.swiss % kSide, cells.swiss / kSide), 1000);
}

TEST_F(TerrainServiceTest, FailedDownloadsWaitTwoSecondsAfter429AndAMinuteAfterAnythingElse)
{
    struct Case {
        int status;
        std::string body;
        double delay;
    };
    for (const auto& c : { Case { 429, "", 2 }, Case { 404, "", 60 }, Case { 503, "", 60 },
             Case { 200, "not an elevation grid", 60 } }) {
        service = makeService();
        server.route(kIGNPath, LoopbackServer::reply(c.status, c.body));
        const int before = server.requestCount(kIGNPath);

        service->load(kParis);
        finishDownload();
        clock.advance(c.delay - 0.5);
        service->load(kParis);
        EXPECT_EQ(server.requestCount(kIGNPath), before + 1) << c.status << " " << c.body;
        clock.advance(0.5);
        service->load(kParis);
        finishDownload();
        EXPECT_EQ(server.requestCount(kIGNPath), before + 2) << c.status << " " << c.body;
        clock.advance(c.delay);
    }
    EXPECT_EQ(changes, 0);
}

TEST_F(TerrainServiceTest, AtMostSixDownloadsRunAtOnceAndLaterCallsTakeTheRest)
{
    server.route(kIGNPath, server.delayed(0.3, LoopbackServer::reply(200, bil(sloped()))));
    std::vector<Key> keys;
    for (int dx = 0; dx < 8; ++dx)
        keys.push_back({ 12, kParis.x + dx, kParis.y });

    for (const Key& key : keys)
        service->load(key);
    for (int i = 0; i < 6; ++i)
        finishDownload();
    EXPECT_EQ(server.requestCount(kIGNPath), 6);
    EXPECT_EQ(mainQueue.pendingCount(), 0u);

    for (const Key& key : keys)
        service->load(key);
    finishDownload();
    finishDownload();
    EXPECT_EQ(server.requestCount(kIGNPath), 8);
    EXPECT_EQ(changes, 8);
}

TEST_F(TerrainServiceTest, PrefetchLoadsEveryKeyOfTheRectangle)
{
    server.route(kIGNPath, LoopbackServer::reply(200, bil(sloped())));
    const double n = std::exp2(12);
    service->prefetch(12, { (kParis.x + 0.5) / n, (kParis.y + 0.5) / n, (kParis.x + 1.5) / n, (kParis.y + 0.5) / n });
    finishDownload();
    finishDownload();
    EXPECT_EQ(heightAt(kParis, 0, 0), 0);
    EXPECT_EQ(heightAt({ 12, kParis.x + 1, kParis.y }, 1, 1), 2);
}

TEST_F(TerrainServiceTest, DownloadsGoThroughTheRelayWhileItAnswers)
{
    const std::string token = "0123456789abcdef0123456789abcdef";
    ServiceHosts hosts = loopbackHosts();
    hosts.relayHost = hosts.ignHost;
    hosts.relayToken = token;
    testing_support::TemporaryFolder defaultsFolder;
    platform::UserDefaults defaults(defaultsFolder / "defaults.json");
    TileRelay relay(hosts, clock, defaults);
    server.route("/_etat", LoopbackServer::reply(200, "ok"));
    server.route("/" + token + "/*", LoopbackServer::reply(200, bil(sloped())));
    const std::string url = TerrainService::ignElevationURL(hosts, kParis);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return relay.relayedURL(url) != url; })) << "the relay never answered";

    service = makeService(&relay);
    service->load(kParis);
    finishDownload();

    EXPECT_EQ(heightAt(kParis, 10, 20), 30);
    EXPECT_EQ(server.requestCount(kIGNPath), 0);
    EXPECT_EQ(server.requestCount("/" + token + "/" + hosts.ignHost + kIGNPath), 1);
    service.reset(); // before the relay it uses
}

TEST_F(TerrainServiceTest, ADownloadThatEndsAfterTheServiceIsGoneDoesNothing)
{
    server.route(kIGNPath, server.delayed(0.2, LoopbackServer::reply(200, bil(sloped()))));
    service->load(kParis);
    service->load(kGeneva);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount() == 2; }));
    service.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    mainQueue.drain();
    EXPECT_EQ(changes, 0);
}
