// Completions that arrive late, decodes of keys no longer wanted and bytes that do not
// decode must leave the loader's bookkeeping and the disk store sound.

#include "TileLoaderFixture.h"

using testing_support::LoopbackServer;
using testing_support::tileReply;
using testing_support::topoDiskKey;
using testing_support::topoKey;
using testing_support::topoPath;
using velorin::Basemap;
using velorin::TileKey;

namespace {

using TileLoaderSafety = testing_support::TileLoaderFixture;

} // namespace

TEST_F(TileLoaderSafety, ALateCompletionOfACancelledTransferLeavesTheKeysNewTransferAlone)
{
    auto answers = std::make_shared<std::atomic<int>>(0);
    server.route(topoPath(1), [answers](const httplib::Request& request, httplib::Response& response) {
        response.status = (*answers)++ == 0 ? 503 : 200;
        response.set_content("TILE" + request.path, "image/png");
    });
    start();
    wantAlone({ topoKey(1) });
    // The first answer reaches the loader's queue just before the wish list drops the
    // key and takes it back, so its handling runs after both.
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return queue->pendingCount() == 1; }));
    loader->setDesired({});
    loader->setDesired({ topoKey(1) });

    EXPECT_TRUE(settle([&] { return cache->contains(topoKey(1)); })) << "the second transfer delivers";
    EXPECT_EQ(server.requestCount(topoPath(1)), 2);
    EXPECT_EQ(server.disconnectCount(), 0);
    EXPECT_EQ(loader->status().transportFailures, 0) << "a stale answer is not counted";
    EXPECT_EQ(loader->status().pending, 0);
}

TEST_F(TileLoaderSafety, DecodesOfKeysNoLongerWantedLetTheKeysTheyHeldBackThrough)
{
    for (int i = 0; i < 80; ++i)
        putFile(cached(topoDiskKey(i)), "TILE");
    start();
    std::vector<TileKey> first, second;
    for (int i = 0; i < 70; ++i)
        first.push_back(topoKey(i));
    for (int i = 70; i < 80; ++i)
        second.push_back(topoKey(i));

    loader->setDesired(first);
    queue->runAll();
    ASSERT_EQ(decodeQueue->pendingCount(), 64U);
    loader->setDesired(second);
    queue->runAll();
    ASSERT_EQ(decodeQueue->pendingCount(), 64U) << "the keys in flight hold the new ones back";

    auto allCached = [&] { return std::ranges::all_of(second, [&](const TileKey& key) { return cache->contains(key); }); };
    EXPECT_TRUE(settle(allCached));
    EXPECT_FALSE(cache->contains(topoKey(0))) << "no longer wanted: dropped before decoding";
}

TEST_F(TileLoaderSafety, BytesThatDoNotDecodeAreNeverStored)
{
    struct Case {
        TileKey key;
        std::string path;
        std::string diskKey;
        std::string body;
        bool droppedBeforeDelivery;
        bool stored;
    };
    auto swiss = [](int i) { return TileKey::webTile(Basemap::swissImage, 12, i, 7); };
    auto swissPath = [](int i) {
        return fmt::format("/1.0.0/ch.swisstopo.swissimage/default/current/3857/12/{}/7.jpeg", i);
    };
    auto swissDiskKey = [](int i) { return fmt::format("web/swissImage/12/{}_7.jpg", i); };
    start();
    for (const auto& c : std::vector<Case> {
             { topoKey(1), topoPath(1), topoDiskKey(1), "<html>busy</html>", false, false },
             { swiss(2), swissPath(2), swissDiskKey(2), "<html>busy</html>", true, false },
             { swiss(3), swissPath(3), swissDiskKey(3), "TILE", true, true },
             { TileKey::webTile(Basemap::orthophoto, 14, 8295, 5637), "/wmts", "web/orthophoto/14/8295_5637.jpg",
                 "<html>busy</html>", true, false },
         }) {
        server.route(c.path, LoopbackServer::reply(200, c.body));
        wantAlone({ c.key });
        ASSERT_TRUE(LoopbackServer::waitUntil([&] { return queue->pendingCount() == 1; }));
        queue->runAll();
        ASSERT_EQ(mosaicQueue->pendingCount() + decodeQueue->pendingCount(), 1U) << "the answer waits for delivery";
        if (c.droppedBeforeDelivery) {
            loader->setDesired({});
            queue->runAll();
        }
        ASSERT_TRUE(settle([&] { return loader->status().pending == 0; }));
        waitForDiskWrites();
        EXPECT_EQ(std::filesystem::exists(cached(c.diskKey)), c.stored) << c.diskKey;
    }

    clock->advance(velorin::TileLoaderEngine::kRetryAfterFailureSeconds - 1);
    want({ topoKey(1) });
    EXPECT_EQ(loader->status().pending, 0) << "an answer that does not decode holds the key off";
    clock->advance(2);
    want({ topoKey(1) });
    EXPECT_TRUE(settle([&] { return server.requestCount(topoPath(1)) == 2; }));
}

TEST_F(TileLoaderSafety, ABrokenCachedFileIsRemovedAndFetchedAgainWhileMarksAndOfflineFilesStay)
{
    server.route("/*", tileReply());
    putFile(cached(topoDiskKey(1)), "<html>broken</html>");
    putFile(cached(topoDiskKey(2)), "");
    putFile(offline(topoDiskKey(3)), "<html>broken</html>");
    start();
    std::vector<TileKey> keys { topoKey(1), topoKey(2), topoKey(3) };

    want(keys);
    waitForDiskWrites();
    EXPECT_FALSE(std::filesystem::exists(cached(topoDiskKey(1))));
    EXPECT_TRUE(std::filesystem::exists(cached(topoDiskKey(2))));
    EXPECT_TRUE(std::filesystem::exists(offline(topoDiskKey(3))));

    clock->advance(velorin::TileLoaderEngine::kRetryAfterFailureSeconds + 1);
    want(keys);
    EXPECT_TRUE(settle([&] { return cache->contains(topoKey(1)); }));
    EXPECT_EQ(server.requestCount(), 1) << "only the broken cached tile is fetched again";
}
