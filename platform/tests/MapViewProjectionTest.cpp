#include "platform/MapViewProjection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

namespace {

using platform::MapCamera;
using platform::MapViewProjection;

constexpr double kCircumference = 40075016.6855785;

// The map distance that shows level `zoom` at `latitude` in a view `height` device pixels high.
double distanceFor(double zoom, double latitude, double height)
{
    const double metresPerPixel = std::cos(latitude * M_PI / 180) * kCircumference / (std::exp2(zoom) * 256);
    return metresPerPixel * height * 1.5;
}

TEST(MapViewProjection, CoordinatesComeBackFromTheirPointsFlatPitchedAndTurned)
{
    struct Case {
        double pitch, heading;
    };
    for (const Case c : {Case {0, 0}, Case {45, 0}, Case {0, 120}, Case {60, -75}}) {
        const MapCamera camera {45.9, 6.87, distanceFor(14, 45.9, 800), c.pitch, c.heading};
        const MapViewProjection projection(camera, 1280, 800);
        for (const platform::MapViewPoint at : {platform::MapViewPoint {640, 400}, {0, 800}, {1280, 799}, {10, 300},
                 {1200, 20}}) {
            const auto ground = projection.coordinate(at);
            ASSERT_TRUE(ground) << c.pitch << " " << at.x << "," << at.y;
            const auto back = projection.point(*ground);
            ASSERT_TRUE(back);
            EXPECT_NEAR(back->x, at.x, 1e-6) << c.pitch << " " << c.heading;
            EXPECT_NEAR(back->y, at.y, 1e-6) << c.pitch << " " << c.heading;
        }
        const auto centre = projection.coordinate({640, 400});
        EXPECT_NEAR(centre->latitude, 45.9, 1e-9);
        EXPECT_NEAR(centre->longitude, 6.87, 1e-9);
    }
}

TEST(MapViewProjection, TheCentreShowsTheDistanceOverOneAndAHalfViewHeightsPerPoint)
{
    const MapCamera camera {45.9, 6.87, 3000, 0, 0};
    const MapViewProjection projection(camera, 1000, 800);
    EXPECT_DOUBLE_EQ(projection.metresPerPoint(), 3000 / (1.5 * 800));
    const auto west = projection.coordinate({450, 400});
    const auto east = projection.coordinate({550, 400});
    const double metres = (east->longitude - west->longitude) * M_PI / 180 * std::cos(45.9 * M_PI / 180) * 6378137;
    EXPECT_NEAR(metres, 100 * projection.metresPerPoint(), 0.01);
}

TEST(MapViewProjection, NothingLiesAboveTheHorizonNorBehindTheEye)
{
    // Pitched past the ceiling: laid out as at 60°, the horizon is above the view.
    const MapViewProjection steep({45.9, 6.87, 2000, 80, 0}, 1000, 800);
    const MapViewProjection ceiling({45.9, 6.87, 2000, 60, 0}, 1000, 800);
    EXPECT_EQ(steep.coordinate({500, 0}), ceiling.coordinate({500, 0}));
    EXPECT_TRUE(steep.coordinate({500, 0}));
    // Far above the top of the view, over the horizon.
    EXPECT_FALSE(steep.coordinate({500, -2000}));
    // Well behind the eye.
    EXPECT_FALSE(steep.point({45.8, 6.87}));
}

TEST(MapViewProjection, TilesCoverTheViewAtTheLevelOfItsPixels)
{
    const int level = 13;
    // Flat: one level, the tiles around the view and no more.
    const MapViewProjection flat({45.9, 6.87, distanceFor(level, 45.9, 768), 0, 0}, 1024, 768);
    auto tiles = flat.tiles(19);
    ASSERT_FALSE(tiles.empty());
    EXPECT_TRUE(std::all_of(tiles.begin(), tiles.end(), [](const auto& t) { return t.z == level; }));
    EXPECT_LE(tiles.size(), 6u * 5u);
    EXPECT_GE(tiles.size(), 4u * 3u);

    // Deeper than the source goes: its deepest tiles, enlarged.
    tiles = MapViewProjection({45.9, 6.87, distanceFor(17.2, 45.9, 768), 0, 0}, 1024, 768).tiles(15);
    EXPECT_TRUE(std::all_of(tiles.begin(), tiles.end(), [](const auto& t) { return t.z == 15; }));

    // Pitched: finer at the bottom than at the centre, coarser towards the horizon.
    const MapViewProjection pitched({45.9, 6.87, distanceFor(level + 1, 45.9, 800), 60, 30}, 1280, 800);
    tiles = pitched.tiles(19);
    const auto [coarsest, finest] = std::minmax_element(
        tiles.begin(), tiles.end(), [](const auto& a, const auto& b) { return a.z < b.z; });
    EXPECT_LT(coarsest->z, level + 1);
    EXPECT_GT(finest->z, level + 1);
    EXPECT_TRUE(std::is_sorted(tiles.begin(), tiles.end(), [](const auto& a, const auto& b) { return a.z < b.z; }));

    // So many device pixels that the tiles would be too many: every band a level coarser.
    const auto dense = MapViewProjection({45.9, 6.87, distanceFor(level, 45.9, 800), 60, 30}, 1280, 800, 3).tiles(19);
    EXPECT_LE(dense.size(), MapViewProjection::kMaxTiles);
    EXPECT_GT(dense.size(), MapViewProjection::kMaxTiles / 4);

    // Turned: the tiles under the view's corners, but not the whole box around them.
    const MapViewProjection turned({45.9, 6.87, distanceFor(level, 45.9, 768), 0, 45}, 1024, 768);
    tiles = turned.tiles(19);
    std::set<std::tuple<int64_t, int64_t>> chosen;
    for (const auto& tile : tiles)
        chosen.insert({tile.x, tile.y});
    int64_t minX = INT64_MAX, maxX = 0, minY = INT64_MAX, maxY = 0;
    for (const platform::MapViewPoint corner : {platform::MapViewPoint {1, 1}, {1023, 1}, {1, 767}, {1023, 767}}) {
        const auto ground = turned.coordinate(corner);
        const int64_t x = int64_t(std::floor(MapViewProjection::worldX(ground->longitude) * 8192));
        const int64_t y = int64_t(std::floor(MapViewProjection::worldY(ground->latitude) * 8192));
        EXPECT_TRUE(chosen.contains({x, y})) << corner.x << "," << corner.y;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    EXPECT_LT(int64_t(tiles.size()), (maxX - minX + 1) * (maxY - minY + 1));
}

} // namespace
