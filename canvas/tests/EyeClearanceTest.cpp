#include "canvas/EyeClearance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace velorin {
namespace {

constexpr double kDegree = std::numbers::pi / 180;

// A cone-shaped mountain south of the view's centre, `peak` metres high, flanks falling
// 1 m per metre.
struct Mountain {
    WorldPoint summit;
    double peak;

    double operator()(WorldPoint point) const
    {
        const double meters = std::hypot(point.x - summit.x, point.y - summit.y) * summit.metersPerWorldUnit();
        return std::max(0.0, peak - meters);
    }
};

Camera pitchedCamera(double pitchDegrees)
{
    Camera camera;
    camera.center = WorldPoint::fromLatitudeLongitude(45.9, 6.87);
    camera.zoom = 15;
    camera.viewSize = {1000, 800};
    camera.focalLength = 1.5;
    camera.pitch = pitchDegrees * kDegree;
    return camera;
}

// Whether the eye stands at least 15 m over the ground under it, in the drawn relief.
bool clears(const Camera& camera, double pitch, const Mountain& mountain)
{
    const double focal = camera.focalDistance();
    const double scale = 256 * std::exp2(camera.zoom);
    const WorldPoint under{camera.center.x, camera.center.y + focal * std::sin(pitch) / scale};
    const double metersPerPixel = camera.center.metersPerWorldUnit() / scale;
    return (mountain(under) + 15) * EyeClearance::reliefCompression(pitch) / metersPerPixel
        <= std::cos(pitch) * focal + 1e-9;
}

TEST(EyeClearance, APitchedEyeInsideAMountainFlattensByWholeDegreesUntilItClears)
{
    const Camera camera = pitchedCamera(70);
    const double unitsPerMeter = 1 / camera.center.metersPerWorldUnit();
    // Pitched 70°, the eye stands over the ground 3750 m south of the centre, some 1400 m
    // up in the drawn relief: right over a 3000 m summit.
    const Mountain mountain{{camera.center.x, camera.center.y + 3750 * unitsPerMeter}, 3000};
    const double pitch = EyeClearance::clearedPitch(camera, 0, std::cref(mountain));

    ASSERT_LT(pitch, camera.pitch);
    EXPECT_GT(pitch, 0);
    const double degreesDropped = (camera.pitch - pitch) / kDegree;
    EXPECT_NEAR(degreesDropped, std::round(degreesDropped), 1e-9);
    EXPECT_TRUE(clears(camera, pitch, mountain));
    EXPECT_FALSE(clears(camera, pitch + kDegree, mountain));
}

TEST(EyeClearance, FlatGroundLeavesThePitchAndAWallBringsItToZero)
{
    const Camera camera = pitchedCamera(60);
    EXPECT_EQ(EyeClearance::clearedPitch(camera, 0, [](WorldPoint) { return 0.0; }), camera.pitch);
    EXPECT_EQ(EyeClearance::clearedPitch(camera, 0, [](WorldPoint) { return 1e7; }), 0.0);
    // Heights count from the frame's base elevation.
    EXPECT_EQ(EyeClearance::clearedPitch(camera, 9000, [](WorldPoint) { return 9000.0; }), camera.pitch);
}

} // namespace
} // namespace velorin
