#include "map-data/FileBatchDownload.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using testing_support::LoopbackServer;
using Progress = std::vector<std::pair<std::int64_t, std::int64_t>>;

namespace {

class FileBatchDownload : public ::testing::Test {
protected:
    testing_support::LogCapture log;
    testing_support::TemporaryFolder folder;
    LoopbackServer server;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<velorin::DiskStore> store
        = std::make_shared<velorin::DiskStore>(folder / "cache", folder / "offline");
    std::shared_ptr<platform::HttpSession> session = std::make_shared<platform::HttpSession>();
    Progress progress;

    std::unique_ptr<velorin::FileBatchDownload> start(std::vector<std::string> names)
    {
        std::vector<velorin::FileBatchDownload::Item> items;
        for (const auto& name : names)
            items.push_back({ "files/" + name, server.url("/" + name) });
        return std::make_unique<velorin::FileBatchDownload>(std::move(items),
            velorin::FileBatchDownload::Services { store, session, clock, mainQueue },
            [this](std::int64_t done, std::int64_t total) { progress.emplace_back(done, total); });
    }
    bool progressReaches(std::size_t reports)
    {
        return LoopbackServer::waitUntil([&] {
            mainQueue->drain();
            return progress.size() >= reports;
        });
    }
    void putFile(const std::string& name)
    {
        std::filesystem::create_directories(folder / "offline/files");
        std::ofstream(folder / "offline/files" / name) << "on disk";
    }
};

} // namespace

TEST_F(FileBatchDownload, ABatchAlreadyOnDiskReportsOnceAndDownloadsNothing)
{
    putFile("a");
    putFile("b");
    auto download = start({ "a", "b" });
    ASSERT_TRUE(progressReaches(1));
    auto empty = start({});
    ASSERT_TRUE(progressReaches(2));
    EXPECT_EQ(progress, (Progress { { 2, 2 }, { 0, 0 } }));
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(FileBatchDownload, DoneCountsOnlyTheLeadingRunOfFinishedItems)
{
    // Shared with the handler, which the server may run until it stops.
    auto releaseFirst = std::make_shared<std::atomic<bool>>(false);
    server.route("/first", [releaseFirst](const httplib::Request&, httplib::Response& response) {
        LoopbackServer::waitUntil([&] { return releaseFirst->load(); });
        response.set_content("first", "application/octet-stream");
    });
    server.route("/third", LoopbackServer::reply(200, "third"));
    putFile("second");

    auto download = start({ "first", "second", "third" });
    ASSERT_TRUE(progressReaches(2));
    *releaseFirst = true;
    ASSERT_TRUE(progressReaches(3));

    EXPECT_EQ(progress, (Progress { { 0, 3 }, { 0, 3 }, { 3, 3 } })) << "the third item ends first";
    EXPECT_TRUE(std::filesystem::exists(folder / "cache/files/first"));
    EXPECT_TRUE(std::filesystem::exists(folder / "cache/files/third"));
}

TEST_F(FileBatchDownload, FailuresAreTriedFiveTimesWithDoublingPausesAndNotFoundIsFinal)
{
    server.route("/busy", LoopbackServer::reply(503));
    server.route("/gone", LoopbackServer::reply(404));
    auto download = start({ "busy", "gone" });
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return clock->pendingTimers() == 1; }));

    for (double pause : { 1, 2, 4, 8 }) {
        int asked = server.requestCount("/busy");
        clock->advance(pause - 0.01);
        EXPECT_EQ(server.requestCount("/busy"), asked) << "still pausing " << pause << " s";
        clock->advance(0.01);
        ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount("/busy") == asked + 1; })) << pause;
        ASSERT_TRUE(LoopbackServer::waitUntil([&] { return clock->pendingTimers() == 1; })) << pause;
    }

    // The fifth failure is followed by its pause too before the item ends.
    clock->advance(16 - 0.01);
    EXPECT_EQ(clock->pendingTimers(), 1U) << "still pausing 16 s";
    mainQueue->drain();
    EXPECT_NE(progress.back().first, 2);
    clock->advance(0.01);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] {
        mainQueue->drain();
        return !progress.empty() && progress.back().first == 2;
    }));
    EXPECT_EQ(server.requestCount("/busy"), 5);
    EXPECT_EQ(server.requestCount("/gone"), 1);
    EXPECT_EQ(clock->pendingTimers(), 0U);
    EXPECT_FALSE(std::filesystem::exists(folder / "cache/files/busy"));
}

TEST_F(FileBatchDownload, DroppingTheHandleCancelsTransfersAndProgress)
{
    server.route("/slow", server.stalledBody("x", 100));
    auto download = start({ "slow" });
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount("/slow") == 1; }));
    ASSERT_TRUE(progressReaches(1));
    download.reset();
    // The server sees its client leave (before or after the first bytes).
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.openConnections() == 0; }));
    mainQueue->drain();
    EXPECT_EQ(progress, (Progress { { 0, 1 } }));
}
