#pragma once

#include "map-data/WorldPoint.h"
#include "platform/Image.h"
#include "testing/LoopbackServer.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

// Map tiles and elevations served on a loopback server for the runs without a display,
// around a place outside the French elevation box, so that every grid is a Terrarium one.
namespace testing_support {

inline constexpr int kTileSide = 256;
// Above the Grossglockner, outside the French elevation box: every grid is a Terrarium one.
inline constexpr double kLatitude = 47.07;
inline constexpr double kLongitude = 12.69;

inline std::string pngOf(const platform::Image& image)
{
    const auto png = platform::encodePng(image);
    EXPECT_TRUE(png);
    return std::string(reinterpret_cast<const char*>(png->data()), png->size());
}

// Map tiles: red and green squares of 16 pixels, which only a textured ground can show.
inline std::string checkerTile()
{
    platform::Image image {kTileSide, kTileSide, std::vector<std::byte>(std::size_t(kTileSide) * kTileSide * 4)};
    for (int y = 0; y < kTileSide; ++y) {
        for (int x = 0; x < kTileSide; ++x) {
            const bool red = ((x / 16) + (y / 16)) % 2 == 0;
            auto* pixel = image.pixels.data() + (std::size_t(y) * kTileSide + x) * 4;
            pixel[0] = std::byte(red ? 220 : 30);
            pixel[1] = std::byte(red ? 30 : 200);
            pixel[2] = std::byte(30);
            pixel[3] = std::byte(255);
        }
    }
    return pngOf(image);
}

// An elevation tile in Terrarium encoding: ridges between 700 and 2300 m, 3 km apart, laid
// on the ground itself so that every level and every neighbour agrees.
inline std::string ridgeTile(int z, int x, int y)
{
    constexpr double kWavelengthMeters = 3000;
    const double wavesPerWorld = velorin::kEarthCircumferenceMeters * std::cos(kLatitude * std::numbers::pi / 180)
        / kWavelengthMeters;
    const double tiles = std::exp2(z);
    platform::Image image {kTileSide, kTileSide, std::vector<std::byte>(std::size_t(kTileSide) * kTileSide * 4)};
    for (int row = 0; row < kTileSide; ++row) {
        for (int column = 0; column < kTileSide; ++column) {
            const double worldX = (x + (column + 0.5) / kTileSide) / tiles;
            const double worldY = (y + (row + 0.5) / kTileSide) / tiles;
            const double turn = 2 * std::numbers::pi * wavesPerWorld;
            const double value = 1500 + 800 * std::sin(worldX * turn) * std::cos(worldY * turn) + 32768;
            auto* pixel = image.pixels.data() + (std::size_t(row) * kTileSide + column) * 4;
            pixel[0] = std::byte(int(value) / 256);
            pixel[1] = std::byte(int(value) % 256);
            pixel[2] = std::byte(int((value - std::floor(value)) * 256));
            pixel[3] = std::byte(255);
        }
    }
    return pngOf(image);
}

// Answers "/elevation-tiles-prod/terrarium/<z>/<x>/<y>.png".
inline void serveRidges(const httplib::Request& request, httplib::Response& response)
{
    int z = 0, x = 0, y = 0;
    if (std::sscanf(request.path.c_str(), "/elevation-tiles-prod/terrarium/%d/%d/%d.png", &z, &x, &y) != 3) {
        response.status = 404;
        return;
    }
    response.status = 200;
    response.set_content(ridgeTile(z, x, y), "image/png");
}

// Serves checker map tiles on every path and ridged elevations on the Terrarium paths, and
// writes a hosts file naming the server for every provider; the server's host.
inline std::string serveMaps(LoopbackServer& server, const std::filesystem::path& hostsFile)
{
    server.route("/*", LoopbackServer::reply(200, checkerTile(), {{"Content-Type", "image/png"}}));
    server.route("/elevation-tiles-prod/terrarium/*", serveRidges);
    const std::string host = fmt::format("127.0.0.1:{}", server.port());
    std::ofstream(hostsFile) << fmt::format(
        R"({{"scheme": "http", "ignHost": "{0}", "openTopoHost": "{0}", "swisstopoHost": "{0}",
            "spainHost": "{0}", "austriaHost": "{0}", "terrariumHost": "{0}"}})",
        host);
    return host;
}

} // namespace testing_support
