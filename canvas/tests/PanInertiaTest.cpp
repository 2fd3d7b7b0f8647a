#include "canvas/InertiaSpeedLimit.h"
#include "canvas/PanInertia.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velorin {
namespace {

// Runs a glide at a fixed frame rate; gives the distance covered and how long it lasted.
std::pair<double, double> glide(double speed, double frameSeconds)
{
    PanInertia inertia{{speed, 0}};
    double covered = 0;
    double elapsed = 0;
    while (inertia.velocity != Camera::Point{}) {
        const auto moved = inertia.step(frameSeconds);
        covered += moved.x;
        if (moved.x != 0)
            elapsed += frameSeconds;
    }
    return {covered, elapsed};
}

TEST(PanInertia, AReleaseAtTheStopSpeedDoesNotGlideAndOneJustAboveDoes)
{
    PanInertia slow{{20, 0}};
    EXPECT_EQ(slow.step(1.0 / 60), (Camera::Point{}));
    EXPECT_EQ(slow.velocity, (Camera::Point{}));

    PanInertia fast{{21, 0}};
    EXPECT_GT(fast.step(1.0 / 60).x, 0);
    EXPECT_GT(fast.velocity.x, 0);
}

TEST(PanInertia, AFlickGlidesAQuarterOfItsSpeedAndStopsAfterTheSameTimeAtAnyFrameRate)
{
    for (double frameSeconds : {1.0 / 120, 1.0 / 60, 1.0 / 30}) {
        SCOPED_TRACE(frameSeconds);
        const auto [covered, elapsed] = glide(2000, frameSeconds);
        // Less the part still to come once the speed falls to 20 px/s (20/4 = 5 px).
        EXPECT_NEAR(covered, 500, 5.5);
        EXPECT_NEAR(elapsed, std::log(100.0) / 4, frameSeconds + 1e-9);
    }
}

TEST(PanInertia, ANonPositiveFrameStopsTheGlide)
{
    PanInertia inertia{{500, -300}};
    EXPECT_EQ(inertia.step(0), (Camera::Point{}));
    EXPECT_EQ(inertia.velocity, (Camera::Point{}));
}

Camera pitchedCamera(double pitch, double eyeHeightMeters)
{
    Camera camera;
    camera.center = WorldPoint::fromLatitudeLongitude(45.9, 6.87);
    camera.viewSize = {1000, 800};
    camera.focalLength = 1.5;
    camera.pitch = pitch;
    // Choose the zoom that puts the eye at this height above the centre.
    const double metersPerPixel = eyeHeightMeters / (camera.focalDistance() * std::cos(pitch));
    camera.zoom = std::log2(camera.center.metersPerWorldUnit() / (metersPerPixel * 256));
    return camera;
}

TEST(InertiaSpeedLimit, APitchedViewGlidesAtMostEightyKilometresAnHourPlusOnePointTwoEyeHeights)
{
    Camera camera = pitchedCamera(0.5, 100);
    EXPECT_NEAR(InertiaSpeedLimit::maxSpeed(camera), 142.2222, 1e-3);

    const WorldPoint before = camera.center;
    const double unitsPerKilometre = 1000 / before.metersPerWorldUnit();
    camera.center.x += unitsPerKilometre;
    struct Case {
        double dt;
        double limitSeconds;
    };
    for (auto c : {Case{1.0 / 60, 1.0 / 60}, Case{0.5, 0.1}, Case{0.001, 1.0 / 120}}) {
        SCOPED_TRACE(c.dt);
        const WorldPoint limited = InertiaSpeedLimit::limited(camera, before, c.dt);
        const double meters = (limited.x - before.x) * before.metersPerWorldUnit();
        EXPECT_NEAR(meters, 142.2222 * c.limitSeconds, 0.05);
        EXPECT_DOUBLE_EQ(limited.y, before.y);
    }
}

TEST(InertiaSpeedLimit, AFlatterViewIsNeverLimited)
{
    Camera camera = pitchedCamera(0.2, 100);
    const WorldPoint before = camera.center;
    camera.center.x += 1000 / before.metersPerWorldUnit();
    EXPECT_EQ(InertiaSpeedLimit::limited(camera, before, 1.0 / 60), camera.center);
}

} // namespace
} // namespace velorin
