#include "map-data/TileRelay.h"

#include "map-data/TileSources.h"
#include "platform/ManualClock.h"
#include "platform/UserDefaults.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

using testing_support::LoopbackServer;
using velorin::ServiceHosts;
using Relay = velorin::TileRelay;

namespace {

constexpr const char* kToken = "5c1e07a9d3b24f68a0e7c2b91d4f3a6e";

class TileRelay : public ::testing::Test {
protected:
    TileRelay() { server.route("/_etat", LoopbackServer::reply(200, "ok")); }

    // The providers' built-in hosts, relayed through the loopback server.
    ServiceHosts relayedHosts() const
    {
        ServiceHosts hosts;
        hosts.relayHost = "127.0.0.1:" + std::to_string(server.port());
        hosts.relayToken = kToken;
        return hosts;
    }

    std::string relayBase() const { return "https://127.0.0.1:" + std::to_string(server.port()) + "/" + kToken + "/"; }

    // Asks for `url` until the relay gives `expected` (a probe has answered); false on timeout.
    static bool eventuallyRelays(Relay& relay, const std::string& url, const std::string& expected)
    {
        return LoopbackServer::waitUntil([&] { return relay.relayedURL(url) == expected; });
    }

    // Leaves time for a probe that should not have started to reach the server.
    static void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }

    testing_support::TemporaryFolder folder;
    platform::UserDefaults defaults { folder / "defaults.json" };
    platform::ManualClock clock;
    LoopbackServer server;
    const std::string upstream = "https://data.geopf.fr/wmts?X=1";
};

} // namespace

TEST_F(TileRelay, RelayFormKeepsHostPathAndQueryOfRelayedProvidersOnly)
{
    Relay relay(relayedHosts(), clock, defaults);
    const auto base = relayBase();
    struct Case {
        std::string url;
        std::optional<std::string> relayed;
    };
    for (const auto& c : {
             Case { "https://data.geopf.fr/wmts?X=1", base + "data.geopf.fr/wmts?X=1" },
             Case { "https://a.tile.opentopomap.org/13/4228/2929.png", base + "a.tile.opentopomap.org/13/4228/2929.png" },
             Case { "https://s3.amazonaws.com/elevation-tiles-prod/terrarium/9/264/180.png",
                 base + "s3.amazonaws.com/elevation-tiles-prod/terrarium/9/264/180.png" },
             Case { "https://mapsneu.wien.gv.at?a=b", base + "mapsneu.wien.gv.at?a=b" },
             Case { "http://data.geopf.fr/wmts?X=1", std::nullopt },
             Case { "HTTPS://data.geopf.fr/wmts?X=1", std::nullopt },
             Case { "https://DATA.GEOPF.FR/wmts", std::nullopt },
             Case { "https://data.geopf.fr:443/wmts", std::nullopt },
             Case { "https://data.geopf.fr.example.com/wmts", std::nullopt },
             Case { "https://data.geopf.fr@example.com/wmts", std::nullopt },
             Case { "https://tile.example.com/1/2/3.png", std::nullopt },
             Case { "data.geopf.fr/wmts", std::nullopt },
         }) {
        EXPECT_EQ(relay.relayURL(c.url), c.relayed) << c.url;
    }
    for (auto basemap : velorin::Basemap::allCases) {
        if (auto url = velorin::basemapTileURL(ServiceHosts(), basemap, 12, 2075, 1409)) {
            EXPECT_TRUE(relay.relayURL(*url).has_value()) << *url;
        }
    }

    // Over plain http (loopback providers in tests) only http URLs are relayed.
    auto hosts = relayedHosts();
    hosts.scheme = "http";
    Relay plain(hosts, clock, defaults);
    EXPECT_EQ(plain.relayURL("http://data.geopf.fr/wmts?X=1"),
        "http://127.0.0.1:" + std::to_string(server.port()) + "/" + kToken + "/data.geopf.fr/wmts?X=1");
    EXPECT_EQ(plain.relayURL("https://data.geopf.fr/wmts?X=1"), std::nullopt);

    Relay none(ServiceHosts(), clock, defaults);
    EXPECT_EQ(none.relayURL(upstream), std::nullopt);
}

TEST_F(TileRelay, ProbesAtMostOnceAMinuteAndFollowsTheStatusAnswer)
{
    auto hosts = relayedHosts();
    hosts.scheme = "http";
    const std::string url = "http://data.geopf.fr/wmts?X=1";
    const std::string relayed = server.url("/") + kToken + "/data.geopf.fr/wmts?X=1";
    Relay relay(hosts, clock, defaults);

    // The first tile goes upstream while the first probe runs.
    EXPECT_EQ(relay.relayedURL(url), url);
    ASSERT_TRUE(eventuallyRelays(relay, url, relayed));
    EXPECT_EQ(server.requestCount("/_etat"), 1);

    // The relay falls ill; nobody notices for a minute.
    server.route("/_etat", LoopbackServer::reply(503));
    clock.advance(Relay::kProbeIntervalSeconds);
    EXPECT_EQ(relay.relayedURL(url), relayed);
    settle();
    EXPECT_EQ(server.requestCount("/_etat"), 1);

    // The first tile past the minute still uses the last answer and starts the next probe.
    clock.advance(0.5);
    EXPECT_EQ(relay.relayedURL(url), relayed);
    ASSERT_TRUE(eventuallyRelays(relay, url, url));
    EXPECT_EQ(server.requestCount("/_etat"), 2);

    // It recovers at the next probe.
    server.route("/_etat", LoopbackServer::reply(200));
    clock.advance(61);
    relay.relayedURL(url);
    ASSERT_TRUE(eventuallyRelays(relay, url, relayed));
    EXPECT_EQ(server.requestCount("/_etat"), 3);
    EXPECT_EQ(server.requestCount("/" + std::string(kToken) + "/data.geopf.fr/wmts"), 0)
        << "the relay is asked for its status only: fetching is the caller's";
}

TEST_F(TileRelay, ARedirectAnyOtherStatusThan200OrNoAnswerIsDown)
{
    auto hosts = relayedHosts();
    hosts.scheme = "http";
    const std::string url = "http://data.geopf.fr/wmts?X=1";
    const std::string relayed = server.url("/") + kToken + "/data.geopf.fr/wmts?X=1";
    Relay relay(hosts, clock, defaults);
    relay.relayedURL(url);
    ASSERT_TRUE(eventuallyRelays(relay, url, relayed));
    for (int status : { 204, 302, 404, 500 }) {
        server.route("/_etat", LoopbackServer::reply(status, "", { { "Location", server.url("/_etat") } }));
        clock.advance(61);
        relay.relayedURL(url);
        EXPECT_TRUE(eventuallyRelays(relay, url, url)) << status;
        server.route("/_etat", LoopbackServer::reply(200));
        clock.advance(61);
        relay.relayedURL(url);
        ASSERT_TRUE(eventuallyRelays(relay, url, relayed)) << status;
    }

    // A relay that went away answers nothing at all.
    auto gone = std::make_unique<LoopbackServer>();
    gone->route("/_etat", LoopbackServer::reply(200));
    hosts.relayHost = "127.0.0.1:" + std::to_string(gone->port());
    const std::string relayedByGone = gone->url("/") + kToken + "/data.geopf.fr/wmts?X=1";
    Relay unreachable(hosts, clock, defaults);
    unreachable.relayedURL(url);
    ASSERT_TRUE(eventuallyRelays(unreachable, url, relayedByGone));
    gone.reset();
    clock.advance(61);
    unreachable.relayedURL(url);
    EXPECT_TRUE(eventuallyRelays(unreachable, url, url));
}

TEST_F(TileRelay, SwitchedOffUnconfiguredOrUnrelayedUrlsGoUpstreamWithoutAProbe)
{
    auto hosts = relayedHosts();
    {
        defaults.setBoolean(Relay::kSwitchKey, false);
        Relay relay(hosts, clock, defaults);
        EXPECT_FALSE(relay.isRelayEnabled());
        EXPECT_EQ(relay.relayedURL(upstream), upstream);
    }
    {
        // Only a stored Boolean switches the relay off.
        defaults.setString(Relay::kSwitchKey, "false");
        EXPECT_TRUE(Relay(hosts, clock, defaults).isRelayEnabled());
        defaults.remove(Relay::kSwitchKey);
        EXPECT_TRUE(Relay(hosts, clock, defaults).isRelayEnabled());
    }
    {
        defaults.setBoolean(Relay::kSwitchKey, true);
        Relay relay(ServiceHosts(), clock, defaults);
        EXPECT_FALSE(relay.isRelayEnabled());
        EXPECT_EQ(relay.relayedURL(upstream), upstream);
    }
    {
        Relay relay(hosts, clock, defaults);
        EXPECT_EQ(relay.relayedURL("http://data.geopf.fr/wmts?X=1"), "http://data.geopf.fr/wmts?X=1");
        EXPECT_EQ(relay.relayedURL("https://tile.example.com/1/2/3.png"), "https://tile.example.com/1/2/3.png");
    }
    settle();
    EXPECT_EQ(server.requestCount("/_etat"), 0);
}

TEST_F(TileRelay, ARelayDestroyedDuringItsProbeIsNeverCalledBack)
{
    server.route("/_etat", server.delayed(0.2, LoopbackServer::reply(200)));
    auto hosts = relayedHosts();
    hosts.scheme = "http";
    for (int probes = 1; probes <= 3; ++probes) {
        Relay relay(hosts, clock, defaults);
        relay.relayedURL("http://data.geopf.fr/wmts?X=1");
        ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount("/_etat") == probes; }));
    }
    // The abandoned answers would arrive now.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}
