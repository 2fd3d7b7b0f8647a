#include "canvas/AppleMapLayer.h"
#include "testing/FakeMapView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using velorin::AppleMapLayer;
using velorin::Basemap;
using velorin::Camera;
using velorin::TrackDisplayPoint;
using velorin::TravelMode;
using velorin::WorldPoint;

velorin::ServiceHosts loopbackHosts()
{
    velorin::ServiceHosts hosts;
    hosts.scheme = "http";
    hosts.ignHost = "127.0.0.1:9001";
    hosts.osmTileHost = "127.0.0.1:9002";
    hosts.satelliteTileHost = "127.0.0.1:9003";
    return hosts;
}

struct LayerTest : ::testing::Test {
    std::shared_ptr<testing_support::FakeMapView> map = std::make_shared<testing_support::FakeMapView>();
    AppleMapLayer layer {map, {loopbackHosts(), nullptr}};
};

TEST(AppleMapLayerCamera, ZoomAndViewRoundTripThroughTheMapDistance)
{
    struct Case {
        double latitude, zoom, height;
    };
    for (const Case c : {Case {0, 3, 800}, Case {45.9, 13.4, 800}, Case {45.9, 17.25, 1600}, Case {-70, 9, 2},
             Case {84, 19.9, 1080}}) {
        Camera camera;
        camera.center = WorldPoint::fromLatitudeLongitude(c.latitude, 6.5);
        camera.zoom = c.zoom;
        camera.viewSize = {1200, c.height};
        camera.bearing = -2.5;
        camera.pitch = 0.9;
        const auto map = AppleMapLayer::mapCamera(camera);
        const double metresPerPixel = std::cos(c.latitude * std::numbers::pi / 180) * 40075016.6855785
            / (std::exp2(c.zoom) * 256);
        const std::string at = std::to_string(c.latitude) + " " + std::to_string(c.zoom);
        EXPECT_NEAR(map.distance, metresPerPixel * c.height * 1.5, 1e-9 * map.distance) << at;
        EXPECT_NEAR(map.latitude, c.latitude, 1e-9) << at;
        EXPECT_NEAR(map.heading, -2.5 * 180 / std::numbers::pi, 1e-9) << at;
        EXPECT_NEAR(map.pitch, 0.9 * 180 / std::numbers::pi, 1e-9) << at;
        const Camera back = AppleMapLayer::camera(map, camera.viewSize);
        EXPECT_NEAR(back.zoom, c.zoom, 1e-9) << at;
        EXPECT_NEAR(back.center.x, camera.center.x, 1e-12) << at;
        EXPECT_NEAR(back.center.y, camera.center.y, 1e-12) << at;
        EXPECT_NEAR(back.bearing, -2.5, 1e-12) << at;
        EXPECT_NEAR(back.pitch, 0.9, 1e-12) << at;
        EXPECT_EQ(back.focalLength, 1.5) << at;
    }
}

TEST(AppleMapLayerCamera, MapCamerasOutOfRangeAreBroughtWithin)
{
    // Past the Mercator square, tilted beyond the sky, turned more than a turn, no distance.
    const Camera camera = AppleMapLayer::camera({89.9, 370, 0, 150, 540}, {800, 600});
    EXPECT_NEAR(camera.center.y, 0, 1e-9);
    EXPECT_EQ(camera.zoom, 0);
    EXPECT_NEAR(camera.pitch, AppleMapLayer::kMaxPitchRadians, 1e-12);
    EXPECT_NEAR(camera.bearing, std::numbers::pi, 1e-12);
}

TEST_F(LayerTest, EachWorldBasemapShowsItsOwnTilesAndCredit)
{
    struct Case {
        Basemap basemap;
        std::string url;
        int maxLevel;
    };
    for (const Case& c : {Case {Basemap::applePlan, "http://127.0.0.1:9002/12/2130/1459.png", 19},
             Case {Basemap::appleSatellite, "http://127.0.0.1:9003/wmts/1.0.0/s2cloudless_3857/default/g/12/1459/2130.jpg",
                 15}}) {
        layer.apply(c.basemap);
        EXPECT_EQ(map->tiles.url(12, 2130, 1459), c.url);
        EXPECT_EQ(map->tiles.maxLevel, c.maxLevel);
    }
}

TEST_F(LayerTest, SlopeShadingIsAnOverlayOfTheSlopeTiles)
{
    layer.setSlopes(true);
    ASSERT_TRUE(map->overlay);
    EXPECT_EQ(map->overlay->maxLevel, 17);
    const std::string expected = "http://127.0.0.1:9001/wmts?SERVICE=WMTS&REQUEST=GetTile&VERSION=1.0.0"
                                 "&LAYER=GEOGRAPHICALGRIDSYSTEMS.SLOPES.MOUNTAIN&STYLE=normal&TILEMATRIXSET=PM"
                                 "&TILEMATRIX=14&TILEROW=5838&TILECOL=8522&FORMAT=image/png";
    EXPECT_EQ(map->overlay->url(14, 8522, 5838), expected);
    EXPECT_EQ(layer.slopesTileURL(8522, 5838, 14), expected);
    layer.setSlopes(false);
    EXPECT_FALSE(map->overlay);
}

TEST_F(LayerTest, TrackLinesRunPerTravelModeWithCasingsFirst)
{
    const WorldPoint a {0.52, 0.36}, b {0.5201, 0.3601}, c {0.5202, 0.3601}, d {0.5203, 0.3602};
    layer.setTrack({{a, TravelMode::walking}});
    EXPECT_TRUE(map->lines.empty());

    layer.setTrack({{a, TravelMode::walking}, {b, TravelMode::walking}, {c, std::nullopt}, {d, TravelMode::automotive}});
    const auto& lines = layer.trackLines();
    ASSERT_EQ(lines.size(), 6u);
    const auto at = [](WorldPoint p) { return AppleMapLayer::coordinate(p); };
    const std::vector<std::vector<platform::MapCoordinate>> runs {{at(a), at(b)}, {at(b), at(c)}, {at(c), at(d)}};
    const std::vector<platform::MapColor> colours {
        {0.16, 0.78, 0.35, 0.95}, {1.0, 0.36, 0.05, 0.95}, {0.15, 0.52, 1.0, 0.95}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines[i].isCasing);
        EXPECT_EQ(lines[i].color, (platform::MapColor {0.1, 0.1, 0.1, 0.55}));
        EXPECT_EQ(lines[i].coordinates, runs[i]);
        EXPECT_FALSE(lines[3 + i].isCasing);
        EXPECT_EQ(lines[3 + i].color, colours[i]);
        EXPECT_EQ(lines[3 + i].coordinates, runs[i]);
    }
    ASSERT_EQ(map->lines.size(), 6u);
    EXPECT_TRUE(map->lines.front().isCasing);
    EXPECT_FALSE(map->lines.back().isCasing);

    layer.setTrack({});
    EXPECT_TRUE(map->lines.empty());
}

} // namespace
