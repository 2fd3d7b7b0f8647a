#include "TileLoaderFixture.h"

using testing_support::LoopbackServer;
using testing_support::tileReply;
using testing_support::topoDiskKey;
using testing_support::topoKey;
using testing_support::topoPath;
using velorin::TileKey;

namespace {

class TileLoader : public testing_support::TileLoaderFixture {
protected:
    std::vector<TileKey> topoKeys(int from, int to)
    {
        std::vector<TileKey> keys;
        for (int i = from; i < to; ++i)
            keys.push_back(topoKey(i));
        return keys;
    }
    std::int64_t lastPublishedFailures()
    {
        mainQueue->drain();
        return published.empty() ? -1 : published.back().transportFailures;
    }
};

} // namespace

TEST_F(TileLoader, AWishListFillsTheCacheFromDiskAndNetworkAndAnnouncesEachTileOnTheMainQueue)
{
    std::ifstream file(VELORIN_FIXTURES "/tile.jpg", std::ios::binary);
    std::string jpeg { std::istreambuf_iterator<char>(file), {} };
    server.route("/*", LoopbackServer::reply(200, jpeg));
    for (int i = 0; i < 40; i += 2)
        putFile(cached(topoDiskKey(i)), jpeg);
    start(true);

    loader->setDesired(topoKeys(0, 40));
    while (tilesReady < 40 && mainQueue->runOneWaiting(5)) {
    }

    EXPECT_EQ(tilesReady, 40);
    EXPECT_FALSE(readyOffMainThread);
    for (int i = 0; i < 40; ++i) {
        EXPECT_TRUE(cache->contains(topoKey(i))) << i;
        EXPECT_EQ(server.requestCount(topoPath(i)), i % 2) << "disk hits are not fetched: " << i;
    }
    waitForDiskWrites();
    EXPECT_TRUE(std::filesystem::exists(cached(topoDiskKey(1)))) << "fetched tiles are stored";
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return loader->status().delivered == 40; }));
}

TEST_F(TileLoader, NotFoundLeavesAnEmptyMarkAndIsNotAskedAgain)
{
    server.route(topoPath(1), LoopbackServer::reply(404));
    start();

    want({ topoKey(1) });
    ASSERT_TRUE(settle([&] { return std::filesystem::exists(cached(topoDiskKey(1))); }));
    EXPECT_EQ(std::filesystem::file_size(cached(topoDiskKey(1))), 0U);

    for (int round = 0; round < 3; ++round) {
        clock->advance(velorin::TileLoaderEngine::kRetryAfterFailureSeconds + 1);
        want({ topoKey(1) });
        EXPECT_EQ(loader->status().pending, 0);
    }
    EXPECT_EQ(server.requestCount(topoPath(1)), 1);
    EXPECT_FALSE(cache->contains(topoKey(1)));
    EXPECT_EQ(lastPublishedFailures(), 0) << "a 404 is no transport failure";
}

TEST_F(TileLoader, FailedAnswersHoldTheKeyOffForTheirDelay)
{
    struct Case {
        int status;
        double holdOffSeconds;
    };
    start();
    int key = 0;
    for (auto c : { Case { 429, 3 }, Case { 503, 30 }, Case { 500, 30 }, Case { 403, 30 } }) {
        ++key;
        server.route(topoPath(key), LoopbackServer::reply(c.status));
        want({ topoKey(key) });
        ASSERT_TRUE(settle([&] { return server.requestCount(topoPath(key)) == 1 && loader->status().pending == 0; }));

        clock->advance(c.holdOffSeconds - 0.5);
        want({ topoKey(key) });
        EXPECT_EQ(loader->status().pending, 0) << c.status << " still held off";

        clock->advance(1);
        want({ topoKey(key) });
        EXPECT_TRUE(settle([&] { return server.requestCount(topoPath(key)) == 2; })) << c.status;
        ASSERT_TRUE(settle([&] { return loader->status().pending == 0; }));
    }
}

TEST_F(TileLoader, AHeldOffKeyIsAskedAgainWhenItsHoldOffEndsWithoutANewWishList)
{
    // The provider refuses, then answers again; nobody touches the map meanwhile.
    server.route(topoPath(1), LoopbackServer::reply(503));
    server.route(topoPath(2), LoopbackServer::reply(429));
    start();
    want({ topoKey(1), topoKey(2) });
    ASSERT_TRUE(settle([&] { return server.requestCount() == 2 && loader->status().pending == 0; }));
    server.route(topoPath(1), tileReply());
    server.route(topoPath(2), tileReply());

    clock->advance(velorin::TileLoaderEngine::kRetryAfterRateLimitSeconds);
    ASSERT_TRUE(settle([&] { return cache->contains(topoKey(2)); })) << "the earliest hold-off ends first";
    EXPECT_EQ(server.requestCount(topoPath(1)), 1);

    clock->advance(velorin::TileLoaderEngine::kRetryAfterFailureSeconds - 3.5);
    runQueues();
    EXPECT_EQ(server.requestCount(topoPath(1)), 1) << "still held off";
    clock->advance(0.5);
    EXPECT_TRUE(settle([&] { return cache->contains(topoKey(1)); }));
    EXPECT_EQ(tilesReady, 2);
}

TEST_F(TileLoader, TransportFailuresCountWithinAMinuteUntilSuccessesFollowAQuietSpell)
{
    struct Step {
        double after;
        int status;
        std::int64_t failures;
    };
    start();
    int key = 0;
    for (auto step : { Step { 0, 503, 1 }, Step { 10, 503, 2 }, Step { 5, 429, 2 }, Step { 5, 404, 2 },
             Step { 70, 503, 1 },
             // A success right after a failure leaves the count; one after five quiet seconds ends it.
             Step { 1, 200, 1 }, Step { 5, 200, 0 },
             // One answer in two refused: the count climbs past the problem threshold.
             Step { 0.5, 503, 1 }, Step { 0.5, 200, 1 }, Step { 0.5, 503, 2 }, Step { 0.5, 200, 2 },
             Step { 0.5, 503, 3 } }) {
        ++key;
        clock->advance(step.after);
        server.route(topoPath(key), step.status == 200 ? tileReply() : LoopbackServer::reply(step.status));
        want({ topoKey(key) });
        ASSERT_TRUE(settle([&] { return server.requestCount(topoPath(key)) == 1 && loader->status().pending == 0; }));
        EXPECT_EQ(loader->status().transportFailures, step.failures) << "step " << key;
        EXPECT_EQ(lastPublishedFailures(), step.failures) << "published at once, step " << key;
    }
}

TEST_F(TileLoader, DroppingKeysCancelsTheirTransfersAndWantingThemAgainFetchesAtOnce)
{
    server.route(topoPath(1), server.stalledBody("TILE", 1000));
    server.route(topoPath(2), server.stalledBody("TILE", 1000));
    start();

    want({ topoKey(1), topoKey(2) });
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount() == 2 && server.openConnections() == 2; }));
    want({ topoKey(2) });
    // The server sees the first client leave (before or after the first bytes).
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.openConnections() == 1; }));
    EXPECT_EQ(loader->status().pending, 1);

    want({ topoKey(1), topoKey(2) });
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount(topoPath(1)) == 2; }))
        << "a cancelled transfer leaves no hold-off";
    EXPECT_EQ(server.requestCount(topoPath(2)), 1);
}

TEST_F(TileLoader, TilesGoThroughTheRelayOnlyWhileItsProbeAnswers200)
{
    constexpr std::string_view kToken = "5c1e07a9d3b24f68a0e7c2b91d4f3a6e";
    // The relay runs on the same loopback server as the provider, under its token.
    auto& relayServer = server;
    auto probeStatus = std::make_shared<std::atomic<int>>(200);
    relayServer.route("/_etat", [probeStatus](const httplib::Request&, httplib::Response& response) {
        response.status = *probeStatus;
    });
    relayServer.route(fmt::format("/{}/*", kToken), tileReply());
    server.route("/12/*", tileReply());
    extraHosts.relayHost = fmt::format("127.0.0.1:{}", server.port());
    extraHosts.relayToken = std::string(kToken);
    relay = std::make_shared<velorin::TileRelay>(hosts(), *clock, defaults);
    start();
    auto relayedPath = [&](int i) { return fmt::format("/{}/127.0.0.1:{}{}", kToken, server.port(), topoPath(i)); };
    auto upstreamURL = server.url(topoPath(0));
    auto relayIsUp = [&](bool up) {
        return LoopbackServer::waitUntil([&] { return (relay->relayedURL(upstreamURL) != upstreamURL) == up; });
    };
    auto fetch = [&](int i) {
        want({ topoKey(i) });
        return settle([&] { return cache->contains(topoKey(i)); });
    };

    ASSERT_TRUE(fetch(1));
    EXPECT_EQ(server.requestCount(topoPath(1)), 1) << "upstream while the first probe runs";
    ASSERT_TRUE(relayIsUp(true));
    ASSERT_TRUE(fetch(2));
    EXPECT_EQ(relayServer.requestCount(relayedPath(2)), 1);
    EXPECT_EQ(server.requestCount(topoPath(2)), 0);

    *probeStatus = 503;
    clock->advance(velorin::TileRelay::kProbeIntervalSeconds + 1);
    ASSERT_TRUE(fetch(3));
    EXPECT_EQ(relayServer.requestCount(relayedPath(3)), 1) << "the relay stays up until a probe says otherwise";
    ASSERT_TRUE(relayIsUp(false));
    ASSERT_TRUE(fetch(4));
    EXPECT_EQ(server.requestCount(topoPath(4)), 1);
    EXPECT_EQ(relayServer.requestCount("/_etat"), 2) << "one probe a minute at most";
}

TEST_F(TileLoader, AMapBusyWithStalledTilesStillLearnsThatTheRelayWentDown)
{
    constexpr std::string_view kToken = "5c1e07a9d3b24f68a0e7c2b91d4f3a6e";
    auto probeStatus = std::make_shared<std::atomic<int>>(200);
    server.route("/_etat", [probeStatus](const httplib::Request&, httplib::Response& response) {
        response.status = *probeStatus;
    });
    server.route(fmt::format("/{}/*", kToken), server.stalledBody("TILE", 100000));
    extraHosts.relayHost = fmt::format("127.0.0.1:{}", server.port());
    extraHosts.relayToken = std::string(kToken);
    relay = std::make_shared<velorin::TileRelay>(hosts(), *clock, defaults);
    start();
    const std::string upstreamURL = server.url(topoPath(0));
    relay->relayedURL(upstreamURL);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return relay->relayedURL(upstreamURL) != upstreamURL; }));

    // The relay hangs: every transfer the map may run waits on it.
    std::vector<velorin::TileKey> keys;
    for (int i = 1; i <= velorin::TileLoader::kMaxTransfers; ++i)
        keys.push_back(topoKey(i));
    want(keys);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.stallCount() == velorin::TileLoader::kMaxTransfers; }));

    // A minute on, the next address asked for (a terrain grid, a mosaic source) probes again.
    *probeStatus = 503;
    clock->advance(velorin::TileRelay::kProbeIntervalSeconds + 1);
    relay->relayedURL(upstreamURL);
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return relay->relayedURL(upstreamURL) == upstreamURL; }, 5))
        << "the probe does not queue behind the stalled tiles";
    EXPECT_EQ(server.requestCount("/_etat"), 2);
}

TEST_F(TileLoader, RetryNowForgetsHoldOffsAndClearsTheFailureCountAtOnce)
{
    auto answers = std::make_shared<std::atomic<int>>(0);
    server.route(topoPath(1), [answers](const httplib::Request& request, httplib::Response& response) {
        response.status = (*answers)++ == 0 ? 503 : 200;
        response.set_content("TILE" + request.path, "image/png");
    });
    start();
    want({ topoKey(1) });
    ASSERT_TRUE(settle([&] { return loader->status().transportFailures == 1 && loader->status().pending == 0; }));

    loader->retryNow();
    runQueues();
    EXPECT_EQ(lastPublishedFailures(), 0);
    EXPECT_TRUE(settle([&] { return cache->contains(topoKey(1)); }));
}

TEST_F(TileLoader, WithSixteenTransfersRunningDiskHitsAreStillDecodedUntilThirtyThreeKeysWait)
{
    struct Case {
        int waitingForNetwork;
        bool diskHitScheduled;
    };
    server.route("/*", server.stalledBody("TILE", 1000));
    putFile(cached(topoDiskKey(999)), "TILE");
    start();
    for (auto c : { Case { 32, true }, Case { 33, false } }) {
        auto keys = topoKeys(0, 16 + c.waitingForNetwork);
        keys.push_back(topoKey(999));
        loader->setDesired(keys);
        queue->runAll();
        EXPECT_EQ(loader->status().pending, 16 + (c.diskHitScheduled ? 1 : 0)) << c.waitingForNetwork;
        EXPECT_EQ(decodeQueue->pendingCount(), c.diskHitScheduled ? 1U : 0U) << c.waitingForNetwork;
        decodeQueue->runAll();
        cache->clear();
    }
}

TEST_F(TileLoader, APassCoversOnlyTheMostWantedKeysWhoseTexturesFitTheCacheTogether)
{
    constexpr std::int64_t kMissingTileBytes = velorin::TileLoaderEngine::kMissingTileBytes;
    server.route("/*", server.stalledBody("TILE", 1000));
    cache = std::make_shared<velorin::TextureCache>(clock, 3 * kMissingTileBytes);
    // A cached texture twice the size of a missing tile.
    cache->insert(gpu::Texture::make(gpu::PixelFormat::rgba8, 512, 256, std::vector<std::byte>(2 * kMissingTileBytes)),
        topoKey(0));
    start();

    want(topoKeys(0, 3));
    EXPECT_EQ(loader->status().pending, 1);
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount(topoPath(1)) == 1; }));
    EXPECT_EQ(server.requestCount(topoPath(2)), 0);
}

TEST_F(TileLoader, SubtilesOfAnUnpreparedSheetStartItsPreparationOneSheetAtATime)
{
    for (auto name : { "A", "B" }) {
        velorin::Sheet sheet;
        sheet.id = std::int64_t(sheets.size());
        sheet.name = name;
        sheet.columns = 4;
        sheet.rows = 3;
        sheets.push_back(sheet);
    }
    putFile(cached("sub/A/0_0.jpg"), "TILE");
    putFile(cached("sub/A/2_1.jpg"), "TILE");
    putFile(cached("sub/A/sliced"), "");
    log.expect("TileLoader", "téléchargement de B impossible");
    start();

    loader->setDesired({ TileKey::subtile(1, 0, 0), TileKey::subtile(0, 2, 1), TileKey::subtile(1, 1, 0) });
    queue->runAll();
    EXPECT_EQ(sliceQueue->pendingCount(), 1U) << "sheet B, listed first, is prepared first";
    EXPECT_EQ(loader->status().queuedSheets, 1) << "sheet A waits for it";
    EXPECT_EQ(decodeQueue->pendingCount(), 0U);

    // Sheet B's preparation ends (here its image is missing), and sheet A turns out sliced.
    ASSERT_TRUE(settle([&] { return cache->contains(TileKey::subtile(0, 2, 1)); }));
    EXPECT_EQ(loader->status().queuedSheets, 0);
    for (const auto& request : server.requests())
        EXPECT_TRUE(request.path.ends_with("/B.webp")) << "sub-tiles are never fetched one by one: " << request.path;
}

TEST_F(TileLoader, PreloadDownloadsTheCallersItemsThenTheKeysFilesExceptSubtiles)
{
    server.route("/*", tileReply());
    putFile(cached(topoDiskKey(2)), "TILE");
    velorin::Sheet sheet;
    sheet.name = "A";
    sheets.push_back(sheet);
    start();

    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    auto download = loader->preload({ TileKey::subtile(0, 0, 0), topoKey(2), topoKey(1), TileKey::pyramid(7, 1, 2) },
        { { "extra/one.bin", server.url("/extra") } },
        [&](std::int64_t done, std::int64_t total) { progress.emplace_back(done, total); });
    ASSERT_TRUE(settle([&] { return !progress.empty() && progress.back().first == 4; }));

    EXPECT_EQ(progress.back().second, 4);
    EXPECT_EQ(server.requestCount("/extra"), 1);
    EXPECT_EQ(server.requestCount(topoPath(2)), 0) << "already on disk";
    EXPECT_EQ(server.requestCount(topoPath(1)), 1);
    EXPECT_EQ(server.requestCount("/tiles/7/1/2.jpg"), 1);
    EXPECT_EQ(server.requestCount(), 3) << "no sheet image for the sub-tile";
    EXPECT_TRUE(std::filesystem::exists(cached("pyramid/7/1_2.jpg")));
}
