#include "features/SpotHeights.h"

#include "map-data/TileSources.h"
#include "platform/Image.h"
#include "platform/ManualClock.h"
#include "platform/PercentEncoding.h"
#include "platform/UserDefaults.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <sstream>

using testing_support::LoopbackServer;
using velorin::SpotHeights;
using velorin::Toponym;
using Kind = velorin::Toponym::Kind;

namespace {

constexpr const char* kAltimetryPath = "/altimetrie/1.0/calcul/alti/rest/elevation.json";
constexpr const char* kTerrariumPaths = "/elevation-tiles-prod/terrarium/*";

// A 256 × 256 Terrarium tile of whole-metre heights.
std::string terrarium(const std::function<int(int column, int row)>& height)
{
    platform::Image image{256, 256, std::vector<std::byte>(256 * 256 * 4)};
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            const int encoded = height(column, row) + 32768;
            std::byte* pixel = image.pixels.data() + (row * 256 + column) * 4;
            pixel[0] = std::byte(encoded / 256);
            pixel[1] = std::byte(encoded % 256);
            pixel[2] = std::byte(0);
            pixel[3] = std::byte(255);
        }
    }
    const auto png = platform::encodePng(image);
    return {reinterpret_cast<const char*>(png->data()), png->size()};
}

// Where a position falls at zoom 13, as fractional tile coordinates.
std::pair<double, double> tileCoordinates(double latitude, double longitude)
{
    const double phi = latitude * std::numbers::pi / 180;
    return {(longitude + 180) / 360 * 8192, (1 - std::log(std::tan(phi) + 1 / std::cos(phi)) / std::numbers::pi) / 2 * 8192};
}

std::string tilePath(int x, int y)
{
    return "/elevation-tiles-prod/terrarium/13/" + std::to_string(x) + "/" + std::to_string(y) + ".png";
}

Toponym place(Kind kind, double latitude, double longitude, std::string name = "Pointe")
{
    return {name, name, kind, latitude, longitude, 3, std::nullopt};
}

std::vector<std::string> split(const std::string& joined)
{
    std::vector<std::string> pieces;
    std::stringstream stream(joined);
    for (std::string piece; std::getline(stream, piece, '|');)
        pieces.push_back(piece);
    return pieces;
}

} // namespace

class SpotHeightsTest : public ::testing::Test {
protected:
    testing_support::LogCapture log;
    LoopbackServer server;
    platform::HttpSession session;
    platform::ManualClock waitClock;
    platform::BlockingFetches fetches{session, waitClock};

    velorin::ServiceHosts loopbackHosts() const
    {
        velorin::ServiceHosts hosts;
        hosts.scheme = "http";
        hosts.ignHost = hosts.terrariumHost = "127.0.0.1:" + std::to_string(server.port());
        return hosts;
    }

    // The altimetry service answers each point with `height(i)`, or with the reply it is given.
    void serveAltimetry(const std::function<double(std::size_t index)>& height, int missing = 0)
    {
        server.route(kAltimetryPath, [height, missing](const httplib::Request& request, httplib::Response& response) {
            const std::size_t points = split(request.get_param_value("lon")).size();
            nlohmann::json elevations = nlohmann::json::array();
            for (std::size_t i = 0; i + missing < points; ++i)
                elevations.push_back(height(i));
            response.set_content(nlohmann::json{{"elevations", elevations}}.dump(), "application/json");
        });
    }

    SpotHeights::Result fetch(std::vector<Toponym> toponyms, velorin::TileRelay* relay = nullptr)
    {
        return SpotHeights(loopbackHosts(), relay, fetches).fetchAltitudes(std::move(toponyms));
    }
};

TEST_F(SpotHeightsTest, PlacesWithoutASummitColOrRefugeComeBackUnaskedAndUntouched)
{
    const std::vector<Toponym> list = {place(Kind::ridge, 45.9, 6.9), place(Kind::viewpoint, 45.9, 6.9),
        place(Kind::place, 45.9, 6.9), place(Kind::summit, std::numeric_limits<double>::quiet_NaN(), 6.9)};
    const auto result = fetch(list);
    ASSERT_EQ(result.toponyms.size(), list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(result.toponyms[i].kind, list[i].kind);
        EXPECT_FALSE(result.toponyms[i].altitude);
    }
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(SpotHeightsTest, PointsTravelInBatchesOfAHundredWithTheirQueryItemsInOrder)
{
    serveAltimetry([](std::size_t i) { return 1000.0 + double(i); });
    std::vector<Toponym> list;
    for (int i = 0; i < 250; ++i) {
        list.push_back(place(i % 3 == 0 ? Kind::summit : (i % 3 == 1 ? Kind::col : Kind::refuge), 45 + i * 0.001, 6 + i * 0.002));
        list.push_back(place(Kind::ridge, 44, 5)); // never asked
    }
    const auto result = fetch(list);

    ASSERT_TRUE(result.complete);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    std::size_t first = 0;
    for (std::size_t r = 0; r < requests.size(); ++r) {
        const std::size_t size = r < 2 ? 100 : 50;
        std::vector<double> longitudes;
        std::vector<double> latitudes;
        for (std::size_t i = first; i < first + size; ++i) {
            longitudes.push_back(6 + double(i) * 0.002);
            latitudes.push_back(45 + double(i) * 0.001);
        }
        EXPECT_EQ(requests[r].target, std::string(kAltimetryPath) + "?lon="
                + platform::percentEncode(velorin::pipeJoined(longitudes)) + "&lat="
                + platform::percentEncode(velorin::pipeJoined(latitudes)) + "&resource=ign_rge_alti_wld&zonly=true");
        first += size;
    }
    for (std::size_t i = 0; i < 250; ++i) {
        EXPECT_EQ(result.toponyms[2 * i].altitude, 1000.0 + double(i % 100)) << i;
        EXPECT_FALSE(result.toponyms[2 * i + 1].altitude);
    }
}

TEST_F(SpotHeightsTest, OnlyValidHeightsAreStoredAndTheRestFallThroughToTheTiles)
{
    const std::vector<double> replies = {-99999, -1000, 9000, -999.5, 8999.5, 1234.5};
    serveAltimetry([replies](std::size_t i) { return replies[i]; });
    server.route(kTerrariumPaths, LoopbackServer::reply(404));
    std::vector<Toponym> list;
    for (std::size_t i = 0; i < replies.size(); ++i)
        list.push_back(place(Kind::col, 45.9, 6.9 + double(i)));
    const auto result = fetch(list);

    const std::vector<std::optional<double>> stored = {std::nullopt, std::nullopt, std::nullopt, -999.5, 8999.5, 1234.5};
    for (std::size_t i = 0; i < replies.size(); ++i)
        EXPECT_EQ(result.toponyms[i].altitude, stored[i]) << replies[i];
    EXPECT_EQ(server.requestCount() - 1, 3) << "the three refused points asked their tiles";
    EXPECT_FALSE(result.complete);
}

TEST_F(SpotHeightsTest, AReplyWithOneHeightTooFewIsIgnoredAsAWhole)
{
    serveAltimetry([](std::size_t) { return 1500.0; }, 1);
    server.route(kTerrariumPaths, LoopbackServer::reply(200, terrarium([](int, int) { return 2000; })));
    std::vector<Toponym> list;
    for (int i = 0; i < 100; ++i)
        list.push_back(place(Kind::refuge, 45.9, 6.9));
    const auto result = fetch(list);
    for (const Toponym& toponym : result.toponyms)
        EXPECT_EQ(toponym.altitude, 2000.0);
    EXPECT_FALSE(result.complete) << "the service's answer could not be used";
    EXPECT_EQ(server.requestCount(), 2) << "one request, then one tile for all hundred";
}

TEST_F(SpotHeightsTest, ASummitTakesTheHighestOfNineSamplesAColOrRefugeItsOwnPoint)
{
    server.route(kAltimetryPath, LoopbackServer::reply(503));
    // Heights rising eastwards and twice as fast southwards: bilinear samples are exact.
    server.route(kTerrariumPaths, LoopbackServer::reply(200, terrarium([](int column, int row) { return 1000 + column + 2 * row; })));
    const double latitude = 45.8326;
    const double longitude = 6.8652;
    const auto [tx, ty] = tileCoordinates(latitude, longitude);
    const double px = (tx - std::floor(tx)) * 256 - 0.5;
    const double py = (ty - std::floor(ty)) * 256 - 0.5;
    const double centre = 1000 + px + 2 * py;

    const auto result = fetch({place(Kind::summit, latitude, longitude), place(Kind::col, latitude, longitude),
        place(Kind::refuge, latitude, longitude), place(Kind::ridge, latitude, longitude)});
    ASSERT_TRUE(result.toponyms[0].altitude);
    EXPECT_NEAR(*result.toponyms[0].altitude, centre + 3, 1e-3) << "one pixel east and south";
    EXPECT_NEAR(*result.toponyms[1].altitude, centre, 1e-3);
    EXPECT_NEAR(*result.toponyms[2].altitude, centre, 1e-3);
    EXPECT_FALSE(result.toponyms[3].altitude);
    EXPECT_EQ(server.requestCount(tilePath(int(tx), int(ty))), 1) << "one tile for the three";
    EXPECT_EQ(SpotHeights::altitudeOffsets(Kind::summit), (std::vector<int>{-1, 0, 1}));
    EXPECT_EQ(SpotHeights::altitudeOffsets(Kind::refuge), (std::vector<int>{0}));
    EXPECT_TRUE(SpotHeights::altitudeOffsets(Kind::viewpoint).empty());
}

TEST_F(SpotHeightsTest, PlacesOffTheMercatorSquareReadItsEdgeTiles)
{
    serveAltimetry([](std::size_t) { return -99999.0; });
    server.route(kTerrariumPaths, LoopbackServer::reply(200, terrarium([](int, int) { return 100; })));
    struct Case {
        double latitude;
        double longitude;
        int x;
        int y;
    };
    for (auto c : {Case{89, 0, 4096, 0}, Case{85.05112878, 1, 4118, 0}, Case{-89, 2, 4141, 8191},
             Case{0, 180, 8191, 4096}, Case{0, -180, 0, 4096}}) {
        const auto result = fetch({place(Kind::col, c.latitude, c.longitude)});
        EXPECT_EQ(result.toponyms[0].altitude, 100.0) << c.latitude << ", " << c.longitude;
        EXPECT_EQ(server.requestCount(tilePath(c.x, c.y)), 1) << c.latitude << ", " << c.longitude;
    }
}

TEST_F(SpotHeightsTest, ATileThatFailsIsAskedOnceForAllItsPlaces)
{
    server.route(kAltimetryPath, LoopbackServer::reply(200, "not json"));
    struct Case {
        const char* what;
        LoopbackServer::Handler reply;
        bool found;
    };
    const std::vector<Case> cases = {
        {"missing", LoopbackServer::reply(404), false},
        {"not a tile", LoopbackServer::reply(200, "garbage"), false},
        {"a tile", LoopbackServer::reply(200, terrarium([](int, int) { return 3000; })), true},
    };
    const auto [tx, ty] = tileCoordinates(45.8326, 6.8652);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        server.route(kTerrariumPaths, cases[i].reply);
        const auto result = fetch({place(Kind::summit, 45.8326, 6.8652), place(Kind::summit, 45.8327, 6.8653)});
        EXPECT_EQ(server.requestCount(tilePath(int(tx), int(ty))), int(i + 1));
        EXPECT_EQ(result.toponyms[1].altitude.has_value(), cases[i].found);
        EXPECT_FALSE(result.complete) << "the altimetry answer was unreadable";
    }
}

TEST_F(SpotHeightsTest, TilesGoThroughTheRelayAndTheAltimetryServiceDoesNot)
{
    const std::string token = "0123456789abcdef0123456789abcdef";
    velorin::ServiceHosts hosts = loopbackHosts();
    hosts.relayHost = hosts.ignHost;
    hosts.relayToken = token;
    testing_support::TemporaryFolder folder;
    platform::UserDefaults defaults(folder / "defaults.json");
    platform::ManualClock clock;
    velorin::TileRelay relay(hosts, clock, defaults);
    server.route("/_etat", LoopbackServer::reply(200, "ok"));
    server.route("/" + token + "/*", LoopbackServer::reply(200, terrarium([](int, int) { return 1500; })));
    server.route(kAltimetryPath, LoopbackServer::reply(500));
    const std::string probe = "http://" + hosts.ignHost + "/wmts";
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return relay.relayedURL(probe) != probe; })) << "the relay never answered";

    const auto result = SpotHeights(hosts, &relay, fetches).fetchAltitudes({place(Kind::col, 45.8326, 6.8652)});
    EXPECT_EQ(result.toponyms[0].altitude, 1500.0);
    EXPECT_EQ(server.requestCount(kAltimetryPath), 1);
    const auto [tx, ty] = tileCoordinates(45.8326, 6.8652);
    EXPECT_EQ(server.requestCount("/" + token + "/" + hosts.terrariumHost + tilePath(int(tx), int(ty))), 1);
}
