#include "features/BlockingFetch.h"

#include "testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace velorin;
using testing_support::LoopbackServer;

namespace {

// A dense town's footprints: several megabytes of GeoJSON.
std::string townFootprints()
{
    std::string document = R"({"type":"FeatureCollection","features":[)";
    const std::string house = R"({"type":"Feature","properties":{"hauteur":9.5},"geometry":{"type":"MultiPolygon",)"
                              R"("coordinates":[[[[6.8601,45.8301],[6.8602,45.8301],[6.8602,45.8302],[6.8601,45.8301]]]]}})";
    while (document.size() < 4'000'000)
        document += house + ",";
    document.back() = ']';
    return document + "}";
}

} // namespace

TEST(BlockingFetch, ASlowFileRunsToItsEndWhileItsBytesKeepComingAndAStalledOneIsGivenUp)
{
    // With an inactivity bound of half a second, a file that trickles in over some seconds
    // would fail any bound on the whole transfer that short.
    constexpr double kIdleSeconds = 0.5;
    const std::string town = townFootprints();
    LoopbackServer server;
    server.route("/slow", server.slowBody(town, 160'000, 0.1));
    server.route("/stalled", server.stalledBody(town.substr(0, 1000), town.size()));
    platform::HttpSession session;
    BlockingFetch fetch(session, nullptr, kIdleSeconds);

    const auto started = std::chrono::steady_clock::now();
    const auto slow = fetch.get(server.url("/slow"));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(slow.has_value());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(slow->data()), slow->size()), town);
    EXPECT_GT(took.count(), 4 * kIdleSeconds) << "the file came slowly, yet it came";

    EXPECT_FALSE(fetch.get(server.url("/stalled")).has_value());
    EXPECT_EQ(server.stallCount(), 1);
}
