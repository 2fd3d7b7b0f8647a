#include "platform/BlockingFetches.h"

#include "platform/ManualClock.h"
#include "testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

using testing_support::LoopbackServer;

TEST(BlockingFetches, StoppingEndsTheWaitUnderWayCancelsItsTransferAndRefusesLaterOnes)
{
    LoopbackServer server;
    server.route("/stalled", server.stalledBody("ab", 1000));
    server.route("/file", LoopbackServer::reply(200, "body"));
    platform::HttpSession session;
    platform::ManualClock clock;
    platform::BlockingFetches fetches(session, clock);

    const auto answered = fetches.fetch(platform::HttpRequest::get(server.url("/file")));
    ASSERT_TRUE(answered && answered->response);
    EXPECT_EQ(answered->response->body, "body");

    auto waiting = std::async(std::launch::async,
        [&] { return fetches.fetch(platform::HttpRequest::get(server.url("/stalled"))); });
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount("/stalled") == 1; }));
    clock.advance(3600);
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
        << "a wait without a limit outlasts any time";

    fetches.stop();
    EXPECT_FALSE(waiting.get());
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.disconnectCount() == 1; }))
        << "the transfer is cancelled, not left running";
    EXPECT_FALSE(fetches.fetch(platform::HttpRequest::get(server.url("/file"))));
    EXPECT_EQ(server.requestCount("/file"), 1) << "a stopped owner starts nothing";
}
