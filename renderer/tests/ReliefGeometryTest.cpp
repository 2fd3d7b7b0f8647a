#include "renderer/ReliefGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using velorin::Camera;
using velorin::ReliefGeometry;
using velorin::WorldPoint;

namespace {

const WorldPoint kCenter = WorldPoint::fromLatitudeLongitude(45.9, 6.9);
constexpr double kPlainMeters = 1000;
// A world unit here, in metres, near enough for placing test relief.
const double kMetersPerUnit = kCenter.metersPerWorldUnit();

// The point `east` and `north` metres from the centre.
WorldPoint offset(double east, double north)
{
    return {kCenter.x + east / kMetersPerUnit, kCenter.y - north / kMetersPerUnit};
}

double metersNorthOfCenter(WorldPoint point)
{
    return (kCenter.y - point.y) * kMetersPerUnit;
}

// An east-west ridge `meters` high above the plain, 2 km south of the centre.
ReliefGeometry::Elevation ridge(double meters)
{
    return [meters](WorldPoint point) {
        const double fromCrest = (metersNorthOfCenter(point) + 2000) / 300;
        return kPlainMeters + meters * std::exp(-fromCrest * fromCrest);
    };
}

// Ground rising to the east and the north.
double slope(WorldPoint point)
{
    return kPlainMeters + 0.05 * (point.x - kCenter.x) * kMetersPerUnit + 0.03 * metersNorthOfCenter(point);
}

// Looks north from 5.8 km south of the centre, 1.6 km above the plain.
Camera northCamera()
{
    Camera camera;
    camera.center = kCenter;
    camera.zoom = 14;
    camera.viewSize = {800, 600};
    camera.focalLength = 1.5;
    camera.pitch = 1.3;
    return camera;
}

// The relief of a frame drawn for `camera` over `elevation`, based at `base`.
ReliefGeometry frameFor(const Camera& camera, const ReliefGeometry::Elevation& elevation, double base)
{
    const double factor = camera.pitch >= ReliefGeometry::kFullReliefPitchRadians
        ? 1
        : std::sin(camera.pitch) / ReliefGeometry::kFullReliefPitchSine;
    return ReliefGeometry(factor / camera.center.metersPerPixel(camera.zoom), base, elevation);
}

} // namespace

TEST(ReliefGeometry, ReliefIsScaledAsDrawnBelowSeventyFiveDegreesAndFullAboveOrWhenFlat)
{
    const ReliefGeometry relief(0.1, 0, slope);
    EXPECT_NEAR(relief.reliefFactor(std::numbers::pi / 6), 0.5 / ReliefGeometry::kFullReliefPitchSine, 1e-12);
    EXPECT_EQ(relief.reliefFactor(ReliefGeometry::kFullReliefPitchRadians), 1);
    EXPECT_EQ(relief.reliefFactor(1.5), 1);
    EXPECT_EQ(ReliefGeometry(0, 0, slope).reliefFactor(0.5), 1);
    EXPECT_EQ(relief.reliefFactor(0), 1) << "looking straight down, the map is drawn flat";
    EXPECT_TRUE(std::isfinite(relief.eyePosition(northCamera(), 0.0).altitude));
}

TEST(ReliefGeometry, ACameraSolvedFromItsEyeHasItsEyeThere)
{
    struct Case {
        double bearing, pitch;
    };
    const WorldPoint eye = offset(-700, -900);
    const double altitude = slope(eye) + 1500;
    for (const Case c : {Case{0.4, 1.0}, Case{-2.5, 0.5}, Case{3.0, 1.4}, Case{1.2, 2.0}}) {
        SCOPED_TRACE(testing::Message() << "bearing " << c.bearing << " pitch " << c.pitch);
        const auto solved = frameFor(northCamera(), slope, kPlainMeters)
                                .cameraFromEye(eye, altitude, c.bearing, c.pitch, northCamera());
        if (c.pitch > std::numbers::pi / 2) {
            EXPECT_FALSE(solved) << "looking up, the line of sight never meets this slope";
            continue;
        }
        ASSERT_TRUE(solved);
        EXPECT_NEAR(solved->bearing, c.bearing, 1e-12);
        EXPECT_EQ(solved->pitch, c.pitch);
        EXPECT_EQ(solved->viewSize, northCamera().viewSize);
        // The next frame is based at the ground under the new centre.
        const auto eyeThere = frameFor(*solved, slope, slope(solved->center)).eyePosition(*solved);
        EXPECT_NEAR((eyeThere.ground.x - eye.x) * kMetersPerUnit, 0, 0.05);
        EXPECT_NEAR((eyeThere.ground.y - eye.y) * kMetersPerUnit, 0, 0.05);
        EXPECT_NEAR(eyeThere.altitude, altitude, 0.05);
    }
}

TEST(ReliefGeometry, ACameraFromAnEyeNeedsAPitchWithinItsLimits)
{
    // A cliff rising across the whole view north of the centre.
    const ReliefGeometry relief(
        0.1, kPlainMeters, [](WorldPoint p) { return metersNorthOfCenter(p) > 0 ? 1e5 : kPlainMeters; });
    const WorldPoint eye = offset(0, -3000);
    for (double pitch : {0.0, 0.01, 2.1})
        EXPECT_FALSE(relief.cameraFromEye(eye, 3000, 0, pitch, northCamera())) << pitch;
    EXPECT_FALSE(relief.cameraFromEye(eye, 3000, 0, std::nan(""), northCamera()));
    Camera unscaled = northCamera();
    unscaled.zoom = -INFINITY;
    EXPECT_FALSE(relief.cameraFromEye(eye, 3000, 0, 1.0, unscaled)) << "a template without a scale";
    EXPECT_TRUE(relief.cameraFromEye(eye, 3000, 0, ReliefGeometry::kMaxPitchRadians, northCamera()))
        << "looking up, the line of sight still meets the cliff";
}

TEST(ReliefGeometry, AnAimedCameraIsCentredOnItsTargetAndKeepsTheEye)
{
    const WorldPoint target = offset(1200, 800);
    const WorldPoint eye = offset(-2000, -3500);
    const double altitude = slope(target) + 900;
    const auto aimed = ReliefGeometry(0.2, kPlainMeters, slope).lookAtCamera(target, eye, altitude, northCamera());
    ASSERT_TRUE(aimed);
    EXPECT_EQ(aimed->center, target);
    EXPECT_NEAR(aimed->bearing, std::atan2(target.x - eye.x, -(target.y - eye.y)), 1e-12);
    EXPECT_GT(aimed->pitch, 0);
    EXPECT_LT(aimed->pitch, std::numbers::pi / 2);
    const auto eyeThere = frameFor(*aimed, slope, slope(target)).eyePosition(*aimed);
    EXPECT_NEAR((eyeThere.ground.x - eye.x) * kMetersPerUnit, 0, 0.01);
    EXPECT_NEAR((eyeThere.ground.y - eye.y) * kMetersPerUnit, 0, 0.01);
    EXPECT_NEAR(eyeThere.altitude, altitude, 0.01);

    const ReliefGeometry flat(0, kPlainMeters, nullptr);
    EXPECT_FALSE(flat.lookAtCamera(offset(0, 0.4), kCenter, 2000, northCamera())) << "0.4 m apart";
    EXPECT_TRUE(flat.lookAtCamera(offset(0, 0.6), kCenter, 2000, northCamera()));
    EXPECT_FALSE(flat.lookAtCamera(target, eye, kPlainMeters - 8000, northCamera()))
        << "an eye deep below its target would look up past the steepest pitch";
}

TEST(ReliefGeometry, TheNearestHitMovesTheCentreOntoTheRidgeAndKeepsTheEye)
{
    const Camera camera = northCamera();
    const auto hit = frameFor(camera, ridge(800), kPlainMeters).nearestTerrainHit(camera);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->bearing, camera.bearing);
    EXPECT_EQ(hit->pitch, camera.pitch);
    EXPECT_GT(hit->zoom, camera.zoom);
    const double north = metersNorthOfCenter(hit->center);
    EXPECT_LT(north, -2000) << "the line of sight meets the ridge on its near side";
    EXPECT_GT(north, -2900);
    EXPECT_NEAR(hit->center.x, kCenter.x, 1e-12);

    const auto before = frameFor(camera, ridge(800), kPlainMeters).eyePosition(camera);
    const auto after = frameFor(*hit, ridge(800), ridge(800)(hit->center)).eyePosition(*hit);
    EXPECT_NEAR((after.ground.y - before.ground.y) * kMetersPerUnit, 0, 0.01);
    EXPECT_NEAR(after.altitude, before.altitude, 5) << "the crossing is interpolated between samples";

    EXPECT_FALSE(frameFor(camera, ridge(200), kPlainMeters).nearestTerrainHit(camera))
        << "a ridge below the sight line";
    EXPECT_FALSE(ReliefGeometry(0, kPlainMeters, ridge(800)).nearestTerrainHit(camera)) << "a flat frame";
    EXPECT_FALSE(ReliefGeometry(0.1, kPlainMeters, nullptr).nearestTerrainHit(camera)) << "no terrain";
    Camera flatCamera = camera;
    flatCamera.pitch = 0;
    EXPECT_FALSE(frameFor(camera, ridge(800), kPlainMeters).nearestTerrainHit(flatCamera));
}

TEST(ReliefGeometry, AScreenPointFindsTheGroundThatIsDrawnUnderIt)
{
    Camera camera = northCamera();
    camera.pitch = 1.0;
    camera.bearing = 0.6;
    const ReliefGeometry relief = frameFor(camera, slope, kPlainMeters);
    const double heightScale = std::sin(1.0) / ReliefGeometry::kFullReliefPitchSine / camera.center.metersPerPixel(14);
    for (const Camera::Point screen : {Camera::Point{400, 300}, Camera::Point{120, 500}, Camera::Point{700, 80}}) {
        SCOPED_TRACE(testing::Message() << screen.x << ", " << screen.y);
        const auto ground = relief.terrainPoint(screen, camera);
        ASSERT_TRUE(ground);
        const double height = (slope(*ground) - kPlainMeters) * heightScale;
        const Camera::Point drawn = camera.screenPoint(*ground, height);
        EXPECT_NEAR(drawn.x, screen.x, 0.5);
        EXPECT_NEAR(drawn.y, screen.y, 0.5);
    }

    const ReliefGeometry flat(0, kPlainMeters, nullptr);
    const auto centre = flat.terrainPoint({400, 300}, camera);
    ASSERT_TRUE(centre);
    EXPECT_NEAR((centre->x - kCenter.x) * kMetersPerUnit, 0, 1e-6);
    EXPECT_NEAR((centre->y - kCenter.y) * kMetersPerUnit, 0, 1e-6);
}

TEST(ReliefGeometry, TheSkyAndGroundPastTheSightDistanceGiveNoPoint)
{
    Camera camera = northCamera();
    camera.pitch = 1.4;
    const ReliefGeometry relief = frameFor(camera, slope, kPlainMeters);
    EXPECT_FALSE(relief.terrainPoint({400, -200}, camera)) << "above the horizon";
    EXPECT_FALSE(ReliefGeometry(0, 0, nullptr).terrainPoint({400, 150}, camera)) << "beyond the sight distance";
}

TEST(ReliefGeometry, ARidgeHidesWhatLiesBehindItOnly)
{
    struct Case {
        const char* what;
        WorldPoint point;
        double ridgeMeters;
        bool hidden;
    };
    const Camera camera = northCamera();
    for (const Case c : {
             Case{"the centre behind a high ridge", kCenter, 800, true},
             Case{"a point in front of the ridge", offset(0, -4000), 800, false},
             Case{"the centre behind a low ridge", kCenter, 200, false},
             Case{"the crest itself", offset(0, -2000), 800, false},
         }) {
        EXPECT_EQ(frameFor(camera, ridge(c.ridgeMeters), kPlainMeters).isHiddenByTerrain(c.point, camera), c.hidden)
            << c.what;
    }
    Camera flatCamera = camera;
    flatCamera.pitch = 0;
    EXPECT_FALSE(frameFor(camera, ridge(800), kPlainMeters).isHiddenByTerrain(kCenter, flatCamera));
    EXPECT_FALSE(ReliefGeometry(0, kPlainMeters, ridge(800)).isHiddenByTerrain(kCenter, camera));
}

TEST(ReliefGeometry, TheLastQuarterOfANearSightLineIsNeverSampled)
{
    // A wall between 75 % and 100 % of the way from the eye to a point 20 m away would hide
    // it, but the test stops short of the point.
    const Camera camera = northCamera();
    const auto eye = frameFor(camera, slope, kPlainMeters).eyePosition(camera).ground;
    const WorldPoint target{eye.x, eye.y - 20 / kMetersPerUnit};
    const auto wall = [&](WorldPoint p) {
        const double fromEye = (eye.y - p.y) * kMetersPerUnit;
        return fromEye > 15.5 && fromEye < 20 ? 1e6 : kPlainMeters;
    };
    EXPECT_FALSE(frameFor(camera, wall, kPlainMeters).isHiddenByTerrain(target, camera));
    const auto nearerWall = [&](WorldPoint p) {
        const double fromEye = (eye.y - p.y) * kMetersPerUnit;
        return fromEye > 10 && fromEye < 14 ? 1e6 : kPlainMeters;
    };
    EXPECT_TRUE(frameFor(camera, nearerWall, kPlainMeters).isHiddenByTerrain(target, camera));
}
