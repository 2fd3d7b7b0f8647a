#include "renderer/Camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using velorin::Camera;
using velorin::WorldPoint;
using velorin::WorldRect;

namespace {

Camera equatorCamera(double zoom, double focalLength = 1)
{
    Camera camera;
    camera.center = {0.5, 0.5};
    camera.zoom = zoom;
    camera.viewSize = {800, 1000};
    camera.focalLength = focalLength;
    return camera;
}

} // namespace

TEST(Camera, SightDistanceIsSixKilometresClampedBetweenEightAndSixtyFourFocalDistances)
{
    struct Case {
        double zoom;
        double focalLength;
        double expected;
    };
    for (auto c : {Case{0, 1, 8000}, Case{17, 1, 8000}, Case{20, 1, 40189.9}, Case{30, 1, 64000}, Case{17, 0, 0}}) {
        EXPECT_NEAR(equatorCamera(c.zoom, c.focalLength).eyeDistance(), c.expected, 0.1)
            << "zoom " << c.zoom << " focal " << c.focalLength;
    }
}

TEST(Camera, ProjectGivesNothingExactlyWhenTheDepthIsAtMostOnePercentOfTheFocalDistance)
{
    // f = 1000; looking horizontally, depth = f − Y, so Y = 990 puts the point at 1 % of f.
    Camera camera = equatorCamera(10);
    camera.pitch = std::numbers::pi / 2;
    struct Case {
        double y;
        bool projected;
    };
    for (auto c : {Case{989.9, true}, Case{990, false}, Case{1500, false}, Case{0, true}})
        EXPECT_EQ(camera.project({0, c.y}, 0).has_value(), c.projected) << "Y " << c.y;

    const auto straightAhead = camera.project({100, 0}, 50);
    ASSERT_TRUE(straightAhead);
    EXPECT_NEAR(straightAhead->depth, 1000, 1e-9);
    EXPECT_NEAR(straightAhead->point.x, 500, 1e-9);
    EXPECT_NEAR(straightAhead->point.y, 450, 1e-9);
}

TEST(Camera, APointBehindThePitchedEyeIsPutFarOffScreen)
{
    Camera camera = equatorCamera(15);
    camera.pitch = 1.2;
    const double behind = 2 * camera.focalDistance() / camera.scale();
    const Camera::Point point = camera.screenPoint({camera.center.x, camera.center.y + behind}, 0);
    EXPECT_EQ(point, (Camera::Point{Camera::kOffscreenCoordinate, Camera::kOffscreenCoordinate}));
}

TEST(Camera, AFlatNorthUpCameraMapsTheScreenLinearlyAndHasNoGroundRect)
{
    Camera camera = equatorCamera(4);
    camera.center = {0.3, 0.6};
    const double scale = camera.scale();
    EXPECT_EQ(camera.worldPoint({400, 500}), camera.center);
    EXPECT_EQ(camera.worldPoint({800, 1000}), (WorldPoint{0.3 + 400 / scale, 0.6 + 500 / scale}));
    EXPECT_FALSE(camera.groundRect(0, camera.eyeDistance()));
    const WorldRect halfView{0.3 - 400 / scale, 0.6 - 500 / scale, 0.3 + 400 / scale, 0.6 + 500 / scale};
    EXPECT_EQ(camera.visibleRect(), halfView);
    // And back again, without rounding.
    EXPECT_EQ(camera.screenPoint(camera.worldPoint({123, 456}), 0), (Camera::Point{123, 456}));
}

TEST(Camera, ScreenAndGroundRoundTripOnATurnedPitchedCamera)
{
    Camera camera = equatorCamera(14);
    camera.bearing = 0.7;
    camera.pitch = 0.9;
    for (Camera::Point screen : {Camera::Point{400, 500}, Camera::Point{10, 990}, Camera::Point{700, 300}}) {
        const Camera::Point back = camera.screenPoint(camera.worldPoint(screen), 0);
        EXPECT_NEAR(back.x, screen.x, 1e-6);
        EXPECT_NEAR(back.y, screen.y, 1e-6);
    }
    const WorldRect visible = camera.visibleRect();
    const WorldPoint middle = camera.worldPoint({400, 500});
    EXPECT_LT(visible.minX, middle.x);
    EXPECT_GT(visible.maxX, middle.x);
    EXPECT_LT(visible.minY, middle.y);
    EXPECT_GT(visible.maxY, middle.y);
}

TEST(Camera, ARayAboveTheHorizonLandsOnTheRowAtTheSightDistance)
{
    Camera camera = equatorCamera(14);
    camera.pitch = 1.4;
    const double farthestRow = (camera.focalDistance() - camera.eyeDistance()) / std::sin(camera.pitch);
    EXPECT_DOUBLE_EQ(camera.groundOffset({400, -5000}).y, farthestRow);
    EXPECT_GT(camera.groundOffset({400, 900}).y, farthestRow);
}

TEST(Camera, FitZoomUsesThePaddedViewAndKeepsTheZoomForRectanglesWithoutArea)
{
    Camera camera = equatorCamera(7);
    struct Case {
        WorldRect rect;
        double padding;
        double expected;
    };
    const Case cases[] = {
        {{0.25, 0.25, 0.75, 0.75}, 0, std::log2(800 / 0.5 / 256)},
        {{0.25, 0.25, 0.75, 0.75}, 100, std::log2(600 / 0.5 / 256)},
        {{0.5, 0.4, 0.5, 0.6}, 0, 7},
        {{0.4, 0.5, 0.6, 0.5}, 0, 7},
        {{0.25, 0.25, 0.75, 0.75}, 600, std::log2(1 / 0.5 / 256)},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(camera.fitZoom(c.rect, c.padding), c.expected) << "padding " << c.padding;
}

TEST(Camera, EasedOrientationTurnsTheShortWayAcrossTheAntimeridianOfBearings)
{
    Camera camera = equatorCamera(10);
    camera.bearing = 3.0;
    camera.pitch = 0.2;
    const auto start = camera.easedOrientation(-3.0, 1.0, 0);
    EXPECT_DOUBLE_EQ(start.bearing, 3.0);
    EXPECT_DOUBLE_EQ(start.pitch, 0.2);
    const auto half = camera.easedOrientation(-3.0, 1.0, 0.75);
    EXPECT_NEAR(half.bearing, 3.0 + 0.2831853 / 2, 1e-6);
    EXPECT_NEAR(half.pitch, 0.6, 1e-12);
    const auto end = camera.easedOrientation(-3.0, 1.0, 9);
    EXPECT_NEAR(end.bearing, -3.0, 1e-12);
    EXPECT_DOUBLE_EQ(end.pitch, 1.0);
}

TEST(Camera, ZoomingAboutAPointKeepsItsGroundPointUnderIt)
{
    for (double pitch : {0.0, 0.8}) {
        Camera camera = equatorCamera(12);
        camera.bearing = -0.4;
        camera.pitch = pitch;
        const Camera::Point about{620, 700};
        const WorldPoint before = camera.worldPoint(about);
        camera.setZoom(13.5, about);
        const WorldPoint after = camera.worldPoint(about);
        EXPECT_NEAR(after.x, before.x, 1e-12) << "pitch " << pitch;
        EXPECT_NEAR(after.y, before.y, 1e-12) << "pitch " << pitch;
    }
}

TEST(Camera, PanningAlongTheGroundMovesTheCentreByTheGroundUnderTheDelta)
{
    Camera camera = equatorCamera(12);
    camera.pitch = 0.8;
    const WorldPoint target = camera.worldPoint({400, 450});
    camera.panAlongGround({0, -50});
    EXPECT_NEAR(camera.center.x, 0.5 - (target.x - 0.5), 1e-12);
    EXPECT_NEAR(camera.center.y, 0.5 - (target.y - 0.5), 1e-12);

    Camera flat = equatorCamera(8);
    flat.pan({256, -128});
    EXPECT_DOUBLE_EQ(flat.center.x, 0.5 - 1.0 / 256);
    EXPECT_DOUBLE_EQ(flat.center.y, 0.5 + 0.5 / 256);
}

TEST(Camera, ClampCentresOnANarrowRectangleAndKeepsTheViewInsideAWideOne)
{
    Camera camera = equatorCamera(10);
    camera.center = {0.1, 0.99};
    camera.clamp({0.0, 0.5, 0.0005, 0.95}, 0, 9);
    EXPECT_EQ(camera.zoom, 9);
    const double halfY = 500 / camera.scale();
    EXPECT_DOUBLE_EQ(camera.center.x, 0.00025);
    EXPECT_DOUBLE_EQ(camera.center.y, 0.95 - halfY);
}

TEST(Camera, CamerasDifferingByANaNAreUnequal)
{
    Camera a = equatorCamera(5);
    EXPECT_EQ(a, equatorCamera(5));
    Camera b = a;
    b.pitch = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE(b, b);
    b = a;
    b.focalLength = 1.0000001;
    EXPECT_NE(a, b);
}
