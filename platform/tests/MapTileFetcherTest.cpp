#include "platform/MapTileFetcher.h"

#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::MapTileFetcher;

std::string png()
{
    platform::Image image {2, 2, std::vector<std::byte>(16, std::byte {90})};
    const auto bytes = platform::encodePng(image);
    return {reinterpret_cast<const char*>(bytes->data()), bytes->size()};
}

class MapTileFetcherTest : public ::testing::Test {
protected:
    void SetUp() override { fresh(); }
    // A fetcher of its own, with nothing in its cache nor held.
    void fresh()
    {
        std::filesystem::remove_all(folder / "tiles");
        fetcher = MapTileFetcher::make(folder / "tiles", clock, main);
        arrived.clear();
        retries = 0;
        fetcher->onTile = [this](const std::string& key, platform::Image) { arrived.push_back(key); };
        fetcher->onRetryDue = [this] { ++retries; };
    }

    MapTileFetcher::Request tile(const std::string& path) { return {"plan" + path, server.url(path)}; }
    // Runs the main queue until `done`, waiting for the worker and the server.
    bool until(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            main->runOneWaiting(0.05);
        }
        return true;
    }

    testing_support::TemporaryFolder folder;
    testing_support::LoopbackServer server;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(0.0);
    std::shared_ptr<platform::DrainableMainQueue> main = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<MapTileFetcher> fetcher;
    std::vector<std::string> arrived;
    int retries = 0;
};

TEST_F(MapTileFetcherTest, AHostThatAnswers429Or503IsLeftAloneFor30Seconds)
{
    for (int status : {429, 503}) {
        SCOPED_TRACE(status);
        fresh();
        server.route("/1/0/0.png", testing_support::LoopbackServer::reply(status));
        server.route("/1/1/0.png", testing_support::LoopbackServer::reply(200, png()));
        const int before = server.requestCount();
        fetcher->want({tile("/1/0/0.png")});
        ASSERT_TRUE(until([&] { return server.requestCount() == before + 1; }));
        // The refusal comes back; asked again at once, neither tile goes out.
        for (int i = 0; i < 5; ++i)
            main->runOneWaiting(0.05);
        fetcher->want({tile("/1/0/0.png"), tile("/1/1/0.png")});
        for (int i = 0; i < 5; ++i)
            main->runOneWaiting(0.05);
        EXPECT_EQ(server.requestCount(), before + 1);
        EXPECT_EQ(retries, 0);

        clock->advance(MapTileFetcher::kHostHoldSeconds);
        ASSERT_TRUE(until([&] { return retries == 1; }));
        server.route("/1/0/0.png", testing_support::LoopbackServer::reply(200, png()));
        fetcher->want({tile("/1/0/0.png"), tile("/1/1/0.png")});
        ASSERT_TRUE(until([&] { return arrived.size() == 2; }));
    }
}

TEST_F(MapTileFetcherTest, AnUndecodableTileIsNeitherShownNorKeptAndWaitsBeforeItIsAskedAgain)
{
    server.route("/2/1/1.png", testing_support::LoopbackServer::reply(200, "<html>not a tile</html>"));
    fetcher->want({tile("/2/1/1.png")});
    ASSERT_TRUE(until([&] { return server.requestCount() == 1; }));
    for (int i = 0; i < 5; ++i)
        main->runOneWaiting(0.05);
    fetcher->want({tile("/2/1/1.png")});
    for (int i = 0; i < 5; ++i)
        main->runOneWaiting(0.05);
    EXPECT_TRUE(arrived.empty());
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "tiles" / "plan" / "2" / "1" / "1.png"));

    clock->advance(MapTileFetcher::kFailedRetrySeconds);
    server.route("/2/1/1.png", testing_support::LoopbackServer::reply(200, png()));
    fetcher->want({tile("/2/1/1.png")});
    ASSERT_TRUE(until([&] { return arrived.size() == 1; }));
    EXPECT_TRUE(std::filesystem::exists(folder / "tiles" / "plan" / "2" / "1" / "1.png"));
}

TEST_F(MapTileFetcherTest, ATileThatLeavesTheViewIsCancelledAndNeverShown)
{
    server.route("/3/2/2.png", server.stalledBody("\x89PNG", 4000));
    fetcher->want({tile("/3/2/2.png")});
    ASSERT_TRUE(until([&] { return server.requestCount() == 1; }));
    fetcher->want({});
    ASSERT_TRUE(until([&] { return server.disconnectCount() == 1; }));
    EXPECT_TRUE(arrived.empty());
}

} // namespace
