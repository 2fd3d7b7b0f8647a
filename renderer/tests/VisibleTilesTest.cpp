#include "renderer/VisibleTiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <variant>

using velorin::Basemap;
using velorin::Camera;
using velorin::TileKey;
using velorin::VisibleTiles;
using velorin::WorldPoint;

namespace {

const WorldPoint kGrenoble = WorldPoint::fromLatitudeLongitude(45.19, 5.72);

Camera flatCamera(double zoom, Camera::Size view)
{
    Camera camera;
    camera.center = kGrenoble;
    camera.zoom = zoom;
    camera.viewSize = view;
    return camera;
}

bool isWebTile(const TileKey& key, int source)
{
    const auto* web = std::get_if<TileKey::WebTile>(&key.value);
    return web != nullptr && web->source == source;
}

} // namespace

TEST(VisibleTiles, ThePlatformsOwnMapsNeedNothing)
{
    for (Basemap apple : {Basemap::applePlan, Basemap::appleSatellite}) {
        const auto visible = VisibleTiles::of(flatCamera(12, {800, 600}), {apple, true, 2, 0});
        EXPECT_TRUE(visible.tiles.empty());
        EXPECT_TRUE(visible.terrain.empty());
    }
}

TEST(VisibleTiles, AFlatViewNeedsTheTilesAroundItAndTheirElevationGrids)
{
    const auto visible = VisibleTiles::of(flatCamera(12, {800, 600}), {Basemap::top25, false, 2, 0});
    // The sheet pyramid stops at level 10.
    const int n = 1 << 10;
    EXPECT_TRUE(visible.tiles.contains(TileKey::pyramid(10, int(kGrenoble.x * n), int(kGrenoble.y * n))));
    EXPECT_FALSE(visible.tiles.contains(TileKey::pyramid(10, int(kGrenoble.x * n) + 4, int(kGrenoble.y * n))))
        << "four tiles east is past the view's half-height margin";
    EXPECT_TRUE(std::all_of(visible.tiles.begin(), visible.tiles.end(),
        [](const TileKey& key) { return std::holds_alternative<TileKey::Pyramid>(key.value); }));
    // trunc(12 − log2 2) − 2.
    const int m = 1 << 9;
    EXPECT_TRUE(visible.terrain.contains({9, int(kGrenoble.x * m), int(kGrenoble.y * m)}));
}

TEST(VisibleTiles, SlopesJoinEveryBandAsTheirOwnWebTiles)
{
    Camera camera = flatCamera(14, {800, 600});
    camera.pitch = 1.1;
    camera.bearing = 0.7;
    const auto visible = VisibleTiles::of(camera, {Basemap::planIGN, true, 2, 0});
    const auto countOf = [&](int source) {
        return std::count_if(visible.tiles.begin(), visible.tiles.end(),
            [source](const TileKey& key) { return isWebTile(key, source); });
    };
    EXPECT_GT(countOf(Basemap::planIGN), 0);
    EXPECT_GT(countOf(Basemap::slopes), 0);
    EXPECT_EQ(std::size_t(countOf(Basemap::planIGN) + countOf(Basemap::slopes)), visible.tiles.size());
    EXPECT_FALSE(VisibleTiles::of(camera, {Basemap::planIGN, false, 2, 0}).tiles.empty());
}

TEST(VisibleTiles, FarBandsFourLevelsCoarserOrMoreAreLeftOut)
{
    Camera camera = flatCamera(16, {800, 600});
    camera.pitch = 1.45;
    const auto visible = VisibleTiles::of(camera, {Basemap::planIGN, false, 1, 0});
    ASSERT_FALSE(visible.tiles.empty());
    int coarsest = 99;
    int finest = 0;
    for (const TileKey& key : visible.tiles) {
        const int z = int(std::get<TileKey::WebTile>(key.value).z);
        coarsest = std::min(coarsest, z);
        finest = std::max(finest, z);
    }
    EXPECT_GT(coarsest, 16 - VisibleTiles::kMaxBandDrop);
    EXPECT_EQ(finest, 19) << "the nearest band reaches the map's finest level";
}

TEST(VisibleTiles, BandsOverTheTileOrGridLimitsAddNothingOfThatKind)
{
    struct Case {
        double side;
        bool tiles, grids;
    };
    // At zoom 12 and scale 1, tiles of level 12 are 256 pixels wide and grids of level 10
    // 1024: 47 tiles a side (2,209) and 12 grids a side (144), then 51 tiles a side (2,601).
    for (const Case c : {Case{800, true, true}, Case{12000, true, false}, Case{13000, false, false}}) {
        const auto visible = VisibleTiles::of(flatCamera(12, {c.side, c.side}), {Basemap::planIGN, false, 1, 0});
        EXPECT_EQ(!visible.tiles.empty(), c.tiles) << c.side;
        EXPECT_EQ(!visible.terrain.empty(), c.grids) << c.side;
    }
}

TEST(VisibleTiles, TheDetailBiasAsksForCoarserTiles)
{
    const auto levels = [](int bias) {
        const auto visible = VisibleTiles::of(flatCamera(13, {800, 600}), {Basemap::planIGN, false, 1, bias});
        std::set<long long> zs;
        for (const TileKey& key : visible.tiles)
            zs.insert(std::get<TileKey::WebTile>(key.value).z);
        return zs;
    };
    EXPECT_EQ(levels(0), std::set<long long>{13});
    EXPECT_EQ(levels(1), std::set<long long>{12});
}
