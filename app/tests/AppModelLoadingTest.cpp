#include "AppModelFixture.h"
#include "FakeMapCanvas.h"

#include "map-data/Basemap.h"
#include "map-data/TileKey.h"
#include "platform/Image.h"
#include "testing/LoopbackServer.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <chrono>
#include <thread>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

using testing_support::AppModelFixture;
using velorin::TileLoader;
using velorin::WorldPoint;

using AppModelLoading = AppModelFixture;

TEST_F(AppModelLoading, TheIndicatorShowsOnlyWhenLoadingLastsOrASheetIsPrepared)
{
    auto& model = makeModel();
    model.tileStatusDidChange(TileLoader::Status {});
    advance(0.25);
    model.tileStatusDidChange(busy(3));
    advance(0.25);
    model.tileStatusDidChange(TileLoader::Status {});
    advance(2);
    EXPECT_FALSE(model.showsActivity()) << "a short load never shows the indicator";

    model.tileStatusDidChange(busy(3));
    advance(0.375);
    EXPECT_FALSE(model.showsActivity());
    advance(0.125);
    EXPECT_TRUE(model.showsActivity());
    model.tileStatusDidChange(TileLoader::Status {});
    EXPECT_FALSE(model.showsActivity());

    TileLoader::Status sheet;
    sheet.loadingSheet = "3531OT";
    model.tileStatusDidChange(sheet);
    EXPECT_TRUE(model.showsActivity()) << "a sheet being prepared shows it at once";
    EXPECT_EQ(model.tileStatus(), sheet);
}

TEST_F(AppModelLoading, TheStallFlagRisesTwelveSecondsAfterTheLastProgressWhileTheCameraIsStill)
{
    auto& model = makeModel();
    model.tileStatusDidChange(busy(5, 0));
    advance(11.875);
    EXPECT_FALSE(model.isStalled());
    advance(0.125);
    EXPECT_TRUE(model.isStalled()) << "the camera never moved: it counts as still";

    model.tileStatusDidChange(busy(5, 1));
    EXPECT_FALSE(model.isStalled()) << "a delivered tile clears it";
    advance(5);
    model.tileStatusDidChange(busy(5, 2));
    model.tileStatusDidChange(busy(5, 2));
    advance(11.875);
    EXPECT_FALSE(model.isStalled()) << "progress re-armed the watchdog; the same status again did not";
    advance(0.125);
    EXPECT_TRUE(model.isStalled());

    model.tileStatusDidChange(TileLoader::Status {});
    EXPECT_FALSE(model.isStalled()) << "idle clears it";
}

TEST_F(AppModelLoading, ACameraChangeHoldsTheStallOffUntilTheCameraHasBeenStillTwelveSeconds)
{
    auto& model = makeModel();
    model.tileStatusDidChange(busy(5));
    advance(10);
    model.cameraDidChange(WorldPoint { 0.5, 0.5 }, 8, 0);
    // The watchdog of second 12 finds a camera still for only 2 s and starts again.
    advance(13.875);
    EXPECT_FALSE(model.isStalled()) << "never sooner than 12 s after the pan";
    advance(0.125);
    EXPECT_TRUE(model.isStalled());
}

TEST_F(AppModelLoading, RetryClearsTheStallRedrawsTheMapAndPollsAgain)
{
    auto& model = makeModel();
    auto canvas = std::make_shared<testing_support::FakeMapCanvas>();
    model.setCanvas(canvas);
    model.tileStatusDidChange(busy(5));
    advance(12);
    ASSERT_TRUE(model.isStalled());
    advance(10);
    EXPECT_EQ(clock->pendingTimers(), 0u) << "without a loader the poll stopped";

    model.retryLoading();
    EXPECT_FALSE(model.isStalled());
    EXPECT_EQ(canvas->redraws, 1) << "a still map draws again, and so asks for its tiles";
    EXPECT_EQ(clock->pendingTimers(), 1u);
}

TEST_F(AppModelLoading, TheStatusPollReadsTheLoaderEveryTwoSecondsAndEndsWhenIdle)
{
    auto& model = makeModel();
    model.start();
    model.tileStatusDidChange(busy(3));
    advance(1.875);
    EXPECT_EQ(model.tileStatus().pending, 3);
    EXPECT_TRUE(model.showsActivity());
    advance(0.125);
    EXPECT_EQ(model.tileStatus(), model.loader()->status());
    EXPECT_EQ(model.tileStatus().pending, 0);
    EXPECT_FALSE(model.showsActivity());
    EXPECT_FALSE(model.isStalled());
    advance(30);
    EXPECT_EQ(clock->pendingTimers(), 0u);
}

TEST_F(AppModelLoading, TheLoaderBuiltAtStartUpReportsToTheModelAndThePollReadsItsFailures)
{
    testing_support::LoopbackServer server;
    server.route("/*", testing_support::LoopbackServer::reply(503, ""));
    hosts.scheme = "http";
    hosts.openTopoHost = fmt::format("127.0.0.1:{}", server.port());
    auto& model = makeModel();
    model.start();
    model.loader()->setDesired({ velorin::TileKey::webTile(velorin::Basemap::openTopo, 10, 530, 360) });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (model.tileStatus().pending == 0 && std::chrono::steady_clock::now() < deadline)
        mainQueue->runOneWaiting(0.1);
    ASSERT_EQ(model.tileStatus().pending, 1) << "the published status reached the model";
    while (model.loader()->status().transportFailures == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));

    // Published within a tenth of a second of the first, the failure waits for the poll.
    advance(2);
    EXPECT_EQ(model.tileStatus().transportFailures, 1);
    EXPECT_EQ(model.tileStatus().pending, 0);
    // Closes the session's connections before the server goes.
    this->model.reset();
}

TEST_F(AppModelLoading, AProviderThatRefusesOneAnswerInThreeShowsAProblemUntilEveryWantedTileIsIn)
{
    testing_support::LoopbackServer server;
    auto answers = std::make_shared<std::atomic<int>>(0);
    const auto png = platform::encodePng({1, 1, std::vector<std::byte>(4, std::byte {200})});
    server.route("/*", [answers, tile = std::string(reinterpret_cast<const char*>(png->data()), png->size())](
                           const httplib::Request&, httplib::Response& response) {
        response.status = ++*answers % 3 == 0 ? 503 : 200;
        response.set_content(tile, "image/png");
    });
    hosts.scheme = "http";
    hosts.openTopoHost = fmt::format("127.0.0.1:{}", server.port());
    auto& model = makeModel();
    model.start();
    std::vector<velorin::TileKey> keys;
    for (int x = 0; x < 12; ++x)
        keys.push_back(velorin::TileKey::webTile(velorin::Basemap::openTopo, 10, 530 + x, 360));
    model.loader()->setDesired(keys);
    ASSERT_TRUE(testing_support::LoopbackServer::waitUntil(
        [&] { return server.requestCount() == 12 && model.loader()->status().pending == 0; }));

    advance(velorin::AppModel::kStatusPollIntervalSeconds);
    EXPECT_EQ(model.tileStatus().transportFailures, 4) << "the successes between them do not wipe the count";
    EXPECT_GT(model.tileStatus().retrying, 0) << "the refused tiles wait to be asked again";
    EXPECT_TRUE(model.hasLoadingProblem());
    EXPECT_EQ(model.loadingProblemMessage(), "Serveur injoignable");

    // The walker's view is the tiles that came: the map is complete, the refusals are history.
    std::vector<velorin::TileKey> delivered;
    std::ranges::copy_if(keys, std::back_inserter(delivered),
        [&](const velorin::TileKey& key) { return model.cache()->byteSize(key).has_value(); });
    ASSERT_EQ(delivered.size(), 8u);
    model.loader()->setDesired(delivered);
    ASSERT_TRUE(testing_support::LoopbackServer::waitUntil([&] { return model.loader()->status().retrying == 0; }));
    advance(velorin::AppModel::kStatusPollIntervalSeconds);
    model.tileStatusDidChange(model.loader()->status());
    EXPECT_EQ(model.tileStatus().transportFailures, 4);
    EXPECT_FALSE(model.hasLoadingProblem());
    EXPECT_EQ(server.requestCount(), 12) << "nothing was asked again";
    this->model.reset();
}

TEST_F(AppModelLoading, OnAStalledHostElevationDownloadsGiveUpAfterTwentySecondsAndTilesAfterSixty)
{
    testing_support::LoopbackServer server;
    server.route("/*", server.stalledBody("first bytes", 100'000));
    hosts.scheme = "http";
    hosts.openTopoHost = hosts.terrariumHost = fmt::format("127.0.0.1:{}", server.port());
    auto& model = makeModel();
    model.start();
    // Innsbruck, outside France: a Terrarium grid.
    model.terrain().load({ 10, 544, 358 });
    model.loader()->setDesired({ velorin::TileKey::webTile(velorin::Basemap::openTopo, 10, 544, 358) });
    ASSERT_TRUE(testing_support::LoopbackServer::waitUntil([&] { return server.stallCount() == 2; }));

    // The session counts idle time from the last byte it received, which may reach it a
    // moment after the server sent it: time moves on in small steps until each gives up.
    constexpr double kStep = 0.25;
    const auto idleUntilDisconnects = [&](int count) {
        double idle = 0;
        while (server.disconnectCount() < count && idle < 90) {
            advance(kStep);
            idle += kStep;
            testing_support::LoopbackServer::waitUntil([&] { return server.disconnectCount() >= count; }, 0.02);
        }
        return idle;
    };
    const double elevationIdle = idleUntilDisconnects(1);
    EXPECT_GE(elevationIdle, 20) << "the elevation download keeps the session's 20 s";
    EXPECT_LT(elevationIdle, 25) << "and frees its slot after them";
    EXPECT_EQ(model.loader()->status().pending, 1) << "the tile still waits";
    const double tileIdle = elevationIdle + idleUntilDisconnects(2);
    EXPECT_GE(tileIdle, velorin::TileLoader::kTransferIdleTimeoutSeconds);
    EXPECT_LT(tileIdle, velorin::TileLoader::kTransferIdleTimeoutSeconds + 5);
    this->model.reset();
}

TEST_F(AppModelLoading, TheProblemMessageNamesTheNetworkThenTheServersThenTheStall)
{
    struct Case {
        bool reachable;
        std::int64_t transportFailures;
        bool stalled;
        bool problem;
        std::string message;
    };
    for (auto c : {
             Case { false, 0, false, true, "Hors réseau" },
             Case { false, 5, true, true, "Hors réseau" },
             Case { true, 3, false, true, "Serveur injoignable" },
             Case { true, 2, false, false, "Chargement bloqué" },
             Case { true, 2, true, true, "Chargement bloqué" },
         }) {
        auto& model = makeModel();
        changes = 0;
        network->report({ c.reachable, false });
        mainQueue->drain();
        EXPECT_EQ(changes, c.reachable ? 0 : 1) << "the model forwards the network's changes";
        auto status = busy(1);
        status.transportFailures = c.transportFailures;
        model.tileStatusDidChange(status);
        if (c.stalled)
            advance(12);
        ASSERT_EQ(model.isStalled(), c.stalled);
        EXPECT_EQ(model.hasLoadingProblem(), c.problem) << c.message;
        EXPECT_EQ(model.loadingProblemMessage(), c.message);
    }
}

TEST_F(AppModelLoading, ACameraChangePublishesZoomGroundScaleAndBearing)
{
    struct Case {
        WorldPoint center;
        double zoom;
        double metersPerPixel;
        double tolerance;
    };
    for (auto c : {
             Case { { 0.5, 0.5 }, 0, 40075016.6855785 / 256, 1e-6 },
             Case { WorldPoint::fromLatitudeLongitude(45, 6), 10, 108.1, 0.05 },
             Case { WorldPoint::fromLatitudeLongitude(-45, 6), 10, 108.1, 0.05 },
         }) {
        auto& model = makeModel();
        model.cameraDidChange(c.center, c.zoom, 0.75);
        EXPECT_EQ(model.zoom(), c.zoom);
        EXPECT_NEAR(model.metersPerPixel(), c.metersPerPixel, c.tolerance);
        EXPECT_EQ(model.bearing(), 0.75);
    }
}
