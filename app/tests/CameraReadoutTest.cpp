#include "app/CameraReadout.h"
#include "canvas/StartView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace velorin {
namespace {

constexpr double kDegree = std::numbers::pi / 180;

TEST(CameraReadout, PositionsNameTheirHemispheresWithFiveDecimals)
{
    struct Case {
        double latitude, longitude;
        const char* text;
    };
    for (const Case& c : {Case {-0.5, -1.25, "0,50000° S  1,25000° O"}, Case {0, 0, "0,00000° N  0,00000° E"},
             Case {45.92, 6.87, "45,92000° N  6,87000° E"}}) {
        EXPECT_EQ(CameraReadout::position(WorldPoint::fromLatitudeLongitude(c.latitude, c.longitude)), c.text);
    }
}

TEST(CameraReadout, AnglesZoomAltitudeAndFocalAreWrittenTheFrenchWayAndWhatIsNotFiniteIsADash)
{
    struct Case {
        std::string shown;
        const char* expected;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {CameraReadout::bearing(190 * kDegree), "-170,0°"},
        {CameraReadout::bearing(180 * kDegree), "180,0°"},
        {CameraReadout::bearing(-180 * kDegree), "180,0°"},
        {CameraReadout::bearing(-540 * kDegree), "180,0°"},
        {CameraReadout::pitch(62.26 * kDegree), "62,3°"},
        {CameraReadout::zoom(13.456), "13,46"},
        {CameraReadout::focal(1), "×1,00"},
        {CameraReadout::altitude(1234.5), "1\u202F235 m d'altitude"},
        {CameraReadout::altitude(-0.3), "0 m d'altitude"},
        {CameraReadout::altitude(8358761), "8\u202F358\u202F761 m d'altitude"},
        {CameraReadout::altitude(nan), "—"},
        {CameraReadout::altitude(INFINITY), "—"},
        {CameraReadout::bearing(nan), "—"},
        {CameraReadout::zoom(-INFINITY), "—"},
        {CameraReadout::focal(nan), "—"},
        {CameraReadout::position({nan, 0.5}), "0,00000° N  —"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shown, c.expected);
}

TEST(CameraReadout, TheLaunchLineReopensTheViewToItsPrecision)
{
    Camera camera;
    camera.center = WorldPoint::fromLatitudeLongitude(-0.5, -1.25);
    camera.zoom = 14.123456;
    camera.bearing = 190 * kDegree;
    camera.pitch = 61.239 * kDegree;
    camera.focalLength = 1;
    const std::string line = CameraReadout::launchLine(camera);
    EXPECT_EQ(line, "-startAt -0.500000,-1.250000,14.1235,-170.00,61.24,1.0000");

    const std::vector<std::string> arguments {"velorin", line.substr(0, 8), line.substr(9)};
    const auto view = StartView::parse(arguments);
    ASSERT_TRUE(view);
    EXPECT_NEAR(view->latitude, -0.5, 5e-7);
    EXPECT_NEAR(view->longitude, -1.25, 5e-7);
    EXPECT_NEAR(view->zoom, camera.zoom, 5e-5);
    EXPECT_NEAR(view->bearingDegrees, -170, 5e-3);
    EXPECT_NEAR(view->pitchDegrees, 61.239, 5e-3);
    EXPECT_EQ(view->focalLength, 1.0);
}

} // namespace
} // namespace velorin
