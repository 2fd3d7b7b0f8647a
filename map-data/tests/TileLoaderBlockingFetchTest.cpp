#include "TileLoaderFixture.h"

#include <future>

using testing_support::LoopbackServer;
using velorin::TileKey;

namespace {

class TileLoaderBlockingFetch : public testing_support::TileLoaderFixture { };

std::string text(const std::optional<std::vector<std::byte>>& bytes)
{
    if (!bytes)
        return "<none>";
    return { reinterpret_cast<const char*>(bytes->data()), bytes->size() };
}

} // namespace

TEST_F(TileLoaderBlockingFetch, KeepsOnlySuccessfulBodiesAndCountsTransportFailures)
{
    struct Case {
        int status;
        std::string expectedData;
        std::int64_t transportFailures;
    };
    start();
    for (auto c : { Case { 200, "body", 0 }, Case { 404, "<none>", 0 }, Case { 503, "<none>", 1 } }) {
        SCOPED_TRACE(c.status);
        server.route("/file", LoopbackServer::reply(c.status, "body"));
        auto fetched = loader->fetchSync(server.url("/file"));
        EXPECT_EQ(text(fetched.data), c.expectedData);
        EXPECT_EQ(fetched.status, c.status);
        EXPECT_FALSE(fetched.error);
        runQueues();
        EXPECT_EQ(loader->status().transportFailures, c.transportFailures);
    }

    auto refused = loader->fetchSync("http://127.0.0.1:1/file");
    EXPECT_FALSE(refused.data);
    EXPECT_FALSE(refused.status);
    EXPECT_TRUE(refused.error);
}

TEST_F(TileLoaderBlockingFetch, ReportsTheFractionAndByteCountsAsTheBodyArrives)
{
    server.route("/sheet", server.slowBody(std::string(4000, 'x'), 1000, 0.01));
    start();
    std::vector<std::tuple<double, std::int64_t, std::int64_t>> reports;
    std::mutex mutex;
    auto fetched = loader->fetchSync(server.url("/sheet"), [&](double fraction, std::int64_t received, std::int64_t expected) {
        std::lock_guard lock(mutex);
        reports.emplace_back(fraction, received, expected);
    });
    ASSERT_EQ(text(fetched.data).size(), 4000U);
    std::lock_guard lock(mutex);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_tuple(1.0, std::int64_t(4000), std::int64_t(4000)));
    for (auto [fraction, received, expected] : reports)
        EXPECT_DOUBLE_EQ(fraction, expected > 0 ? double(received) / double(expected) : 0);
}

TEST_F(TileLoaderBlockingFetch, GivesUpAfterTheWaitAndStopsTheTransfer)
{
    server.route("/stalled", server.stalledBody("ab", 1000));
    start();
    auto fetched = std::async(std::launch::async, [&] { return loader->fetchSync(server.url("/stalled")); });
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount("/stalled") == 1; }));
    clock->advance(velorin::TileLoaderEngine::kBlockingWaitSeconds - 1);
    EXPECT_EQ(fetched.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);

    clock->advance(1);
    auto result = fetched.get();
    EXPECT_FALSE(result.data);
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.disconnectCount() == 1; }))
        << "the transfer is cancelled, not left running";
}

TEST_F(TileLoaderBlockingFetch, CachedFetchesKeepFilesAndMarksOfMissingOnesButRetryOtherFailures)
{
    EXPECT_EQ(velorin::TileLoaderEngine::fetchCacheKey("abc"),
        "fetch/ba/ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    server.route("/found", LoopbackServer::reply(200, "photo"));
    server.route("/missing", LoopbackServer::reply(404));
    server.route("/busy", LoopbackServer::reply(503));
    start();

    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(text(loader->fetchCached(server.url("/found"))), "photo");
        EXPECT_EQ(text(loader->fetchCached(server.url("/missing"))), "<none>");
        EXPECT_EQ(text(loader->fetchCached(server.url("/busy"))), "<none>");
    }
    EXPECT_EQ(server.requestCount("/found"), 1);
    EXPECT_EQ(server.requestCount("/missing"), 1) << "the empty file marks it missing";
    EXPECT_EQ(server.requestCount("/busy"), 2);
    EXPECT_EQ(std::filesystem::file_size(cached(velorin::TileLoaderEngine::fetchCacheKey(server.url("/found")))), 5U);
    EXPECT_EQ(std::filesystem::file_size(cached(velorin::TileLoaderEngine::fetchCacheKey(server.url("/missing")))), 0U);
    EXPECT_FALSE(std::filesystem::exists(cached(velorin::TileLoaderEngine::fetchCacheKey(server.url("/busy")))));
}

TEST_F(TileLoaderBlockingFetch, FetchDataHandsOnlySuccessfulBodiesToTheDecodeQueue)
{
    server.route("/found", LoopbackServer::reply(200, "photo"));
    server.route("/missing", LoopbackServer::reply(404, "page"));
    start();
    std::vector<std::string> answers;
    loader->fetchData(server.url("/found"), [&](auto data) { answers.push_back(text(data)); });
    loader->fetchData(server.url("/missing"), [&](auto data) { answers.push_back(text(data)); });
    ASSERT_TRUE(settle([&] { return answers.size() == 2; }));
    std::ranges::sort(answers);
    EXPECT_EQ(answers, (std::vector<std::string> { "<none>", "photo" }));
}
