#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"
#include "platform/qt/QtLocationSource.h"

#include <cmath>
#include <limits>
#include <numbers>

using platform::HeadingReading;
using platform::LocationAuthorization;
using platform::LocationFix;
using testing_support::FakeMapCanvas;
using velorin::AltitudeState;
using velorin::AppModel;
using velorin::WorldPoint;

namespace {

LocationFix fixAt(double latitude, double longitude, double altitude = 1035, double verticalAccuracy = 4)
{
    LocationFix fix;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.altitude = altitude;
    fix.horizontalAccuracy = 8;
    fix.verticalAccuracy = verticalAccuracy;
    fix.timestamp = 1.8e9;
    return fix;
}

class AppModelLocation : public testing_support::AppModelFixture {
protected:
    std::shared_ptr<FakeMapCanvas> canvas = std::make_shared<FakeMapCanvas>();

    // A model showing its map at `zoom`, turned by `bearing` radians, with location allowed.
    AppModel& makeShownModel(double zoom = 10, double bearing = 0,
        LocationAuthorization authorization = LocationAuthorization::authorizedWhenInUse)
    {
        devicePermission = authorization;
        auto& shown = makeModel();
        // The starting permission reaches the model from the main queue.
        mainQueue->drain();
        shown.setCanvas(canvas);
        shown.cameraDidChange(WorldPoint { 0.5, 0.5 }, zoom, bearing);
        return shown;
    }
};

} // namespace

TEST_F(AppModelLocation, LocateMeFollowsAndZoomsAWideViewInToFourteenWhileACloseOneKeepsItsZoom)
{
    struct Case {
        double zoom;
        double expectedZoom;
    };
    for (auto c : { Case { 10, 14 }, Case { 9, 14 }, Case { 16, 16 } }) {
        canvas = std::make_shared<FakeMapCanvas>();
        auto& model = makeShownModel(c.zoom);
        position->deliver({ fixAt(45.9237, 6.8694) });
        canvas->cameraMoves.clear();
        model.locateUser();
        EXPECT_TRUE(model.isFollowingUser());
        EXPECT_TRUE(model.location().isLocating());
        ASSERT_EQ(canvas->cameraMoves.size(), 1u) << c.zoom;
        const auto& move = canvas->cameraMoves[0];
        EXPECT_EQ(move.zoom, c.expectedZoom);
        EXPECT_TRUE(move.animated);
        EXPECT_EQ(move.center, WorldPoint::fromLatitudeLongitude(45.9237, 6.8694));
    }
}

TEST_F(AppModelLocation, LocateMeWithoutPermissionAsksOnlyWhenUndecidedAndWaitsForAFix)
{
    struct Case {
        LocationAuthorization authorization;
        int requests;
    };
    for (auto c : { Case { LocationAuthorization::notDetermined, 2 }, Case { LocationAuthorization::denied, 0 } }) {
        canvas = std::make_shared<FakeMapCanvas>();
        auto& model = makeShownModel(10, 0, c.authorization);
        position->lastKnown = fixAt(45.9237, 6.8694);
        model.locateUser();
        EXPECT_TRUE(model.isFollowingUser());
        EXPECT_TRUE(model.location().isLocating());
        // Asked by the button, and again by the service it starts.
        EXPECT_EQ(position->authorizationRequests, c.requests);
        EXPECT_TRUE(canvas->cameraMoves.empty());
    }

    // Granted later: the first fix moves the map.
    canvas = std::make_shared<FakeMapCanvas>();
    auto& model = makeShownModel(10, 0, LocationAuthorization::notDetermined);
    model.locateUser();
    position->changeAuthorization(LocationAuthorization::authorizedWhenInUse);
    EXPECT_EQ(position->locationStarts, 1);
    position->deliver({ fixAt(45.9237, 6.8694) });
    ASSERT_EQ(canvas->cameraMoves.size(), 1u);
    EXPECT_EQ(canvas->cameraMoves[0].zoom, 14);
}

TEST_F(AppModelLocation, AFollowedFixMovesTheMapUnlessTheCanvasTakesItForItsFirstView)
{
    auto& model = makeShownModel(10);
    canvas->waitsForFirstFix = true;
    position->deliver({ fixAt(45.9237, 6.8694) });
    EXPECT_EQ(canvas->userLocations.size(), 1u) << "the marker moves";
    EXPECT_TRUE(canvas->cameraMoves.empty()) << "not following yet";

    model.locateUser();
    canvas->cameraMoves.clear();
    position->deliver({ fixAt(45.9300, 6.8700) });
    EXPECT_TRUE(canvas->cameraMoves.empty()) << "the canvas used it for its first view";

    canvas->waitsForFirstFix = false;
    // A fix beyond the map's range is followed to the map's top edge.
    position->deliver({ fixAt(89, 6.8700) });
    ASSERT_EQ(canvas->cameraMoves.size(), 1u);
    EXPECT_EQ(canvas->cameraMoves[0].center, WorldPoint::fromLatitudeLongitude(velorin::kMaxMercatorLatitudeDegrees, 6.87));
    EXPECT_NEAR(canvas->cameraMoves[0].center.y, 0, 1e-9);
    EXPECT_EQ(canvas->cameraMoves[0].zoom, 14);
    EXPECT_EQ(canvas->userLocations.size(), 3u);
}

TEST_F(AppModelLocation, AFixBeforeTheMapIsShownOnlyUpdatesTheAltitude)
{
    auto& model = makeModel();
    position->changeAuthorization(LocationAuthorization::authorizedWhenInUse);
    model.locateUser();
    position->deliver({ fixAt(45.9237, 6.8694, 1035) });
    EXPECT_EQ(model.altitudeState(), AltitudeState::value(1035));
    model.setCanvas(canvas);
    EXPECT_TRUE(canvas->userLocations.empty());
    EXPECT_EQ(canvas->initialLocationCalls, 0);
}

TEST_F(AppModelLocation, TheAltitudeNeedsAVerticalAccuracyAndAFiniteValue)
{
    struct Case {
        double altitude;
        double verticalAccuracy;
        AltitudeState state;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto& model = makeShownModel();
    for (auto c : {
             Case { 1035, 4, AltitudeState::value(1035) },
             Case { 1035, 0, AltitudeState::value(1035) },
             Case { 1035, -1, AltitudeState::unavailable() },
             Case { nan, 4, AltitudeState::unavailable() },
             Case { -12, 3, AltitudeState::value(-12) },
         }) {
        position->deliver({ fixAt(45.9237, 6.8694, c.altitude, c.verticalAccuracy) });
        EXPECT_EQ(model.altitudeState(), c.state) << c.altitude << " ±" << c.verticalAccuracy;
    }
}

TEST_F(AppModelLocation, AMachineWithoutAPositionSourceShowsTheAltitudeAsRefused)
{
    deviceLocation = std::make_unique<platform::QtLocationSource>(nullptr);
    auto& model = makeModel();
    model.start();
    EXPECT_EQ(model.altitudeState(), AltitudeState::searching());
    mainQueue->drain();
    EXPECT_EQ(model.location().authorization(), LocationAuthorization::restricted);
    EXPECT_EQ(model.altitudeState(), AltitudeState::denied()) << "the starting permission reached the model";
}

TEST_F(AppModelLocation, PermissionChangesSetTheAltitudeStateAndAGrantLeavesAKnownAltitude)
{
    struct Case {
        AltitudeState before;
        LocationAuthorization authorization;
        AltitudeState after;
    };
    auto& model = makeModel();
    for (auto c : {
             Case { AltitudeState::value(900), LocationAuthorization::denied, AltitudeState::denied() },
             Case { AltitudeState::value(900), LocationAuthorization::restricted, AltitudeState::denied() },
             Case { AltitudeState::value(900), LocationAuthorization::notDetermined, AltitudeState::searching() },
             Case { AltitudeState::denied(), LocationAuthorization::authorizedWhenInUse, AltitudeState::searching() },
             Case { AltitudeState::value(900), LocationAuthorization::authorizedAlways, AltitudeState::value(900) },
             Case { AltitudeState::unavailable(), LocationAuthorization::authorizedWhenInUse, AltitudeState::unavailable() },
         }) {
        if (c.before == AltitudeState::denied())
            model.authorizationDidChange(LocationAuthorization::denied);
        else
            position->deliver({ fixAt(45.9, 6.8, 900, c.before == AltitudeState::unavailable() ? -1 : 4) });
        ASSERT_EQ(model.altitudeState(), c.before);
        position->changeAuthorization(c.authorization);
        EXPECT_EQ(model.altitudeState(), c.after) << int(c.authorization);
    }
}

TEST_F(AppModelLocation, TheCompassButtonTurnsNorthUpFirstThenFollowsTheHeading)
{
    auto& model = makeShownModel(12, 0.5);
    canvas->flying = true;
    canvas->compassFollowing = true;
    model.toggleCompassFollowing();
    EXPECT_FALSE(model.isCompassFollowing());
    EXPECT_EQ(canvas->flightEnds, 1);
    EXPECT_FALSE(canvas->compassFollowing);
    EXPECT_EQ(canvas->targetBearing, 0.0);
    EXPECT_EQ(canvas->displayLinkStarts, 1);
    EXPECT_EQ(position->headingStarts, 0);

    // The canvas eased the map to north; the next press follows the device.
    model.cameraDidChange(WorldPoint { 0.5, 0.5 }, 12, 0.0);
    position->deliverHeading(HeadingReading { 88, 90, 5 });
    model.toggleCompassFollowing();
    EXPECT_TRUE(model.isCompassFollowing());
    EXPECT_EQ(canvas->compassFollowingCalls, std::vector { true });
    EXPECT_TRUE(position->isUpdatingHeading);
    EXPECT_EQ(position->headingFilter, AppModel::kCompassHeadingFilterDegrees);
    EXPECT_EQ(position->headingOrientation, platform::DeviceOrientation::portrait);

    position->deliverHeading(HeadingReading { 43, 45, 5 });
    ASSERT_TRUE(canvas->targetBearing);
    EXPECT_DOUBLE_EQ(*canvas->targetBearing, std::numbers::pi / 4);
    EXPECT_DOUBLE_EQ(*canvas->latestHeading, std::numbers::pi / 4);
    EXPECT_EQ(canvas->displayLinkStarts, 2);

    // Pressed again: following ends, the compass stops and its heading is forgotten.
    model.toggleCompassFollowing();
    EXPECT_FALSE(model.isCompassFollowing());
    EXPECT_EQ(canvas->compassFollowingCalls, (std::vector { true, false }));
    EXPECT_FALSE(position->isUpdatingHeading);
    EXPECT_FALSE(model.location().heading());
}

TEST_F(AppModelLocation, AMapAlmostNorthUpStartsFollowingAtTheFirstPress)
{
    auto& model = makeShownModel(12, 0.005);
    model.toggleCompassFollowing();
    EXPECT_TRUE(model.isCompassFollowing());
    EXPECT_TRUE(canvas->compassFollowing);
    EXPECT_EQ(position->headingStarts, 1);
}

TEST_F(AppModelLocation, WithoutACompassThePressOnlyTurnsTheMapNorthUpAndNeverFollows)
{
    auto& model = makeShownModel(12, 0.5);
    position->headingAvailable = false;
    model.toggleCompassFollowing();
    EXPECT_EQ(canvas->targetBearing, 0.0) << "north up";
    model.cameraDidChange(WorldPoint { 0.5, 0.5 }, 12, 0.0);
    model.toggleCompassFollowing();
    EXPECT_FALSE(model.isCompassFollowing()) << "no heading to follow";
    EXPECT_TRUE(canvas->compassFollowingCalls.empty());
    EXPECT_EQ(position->headingStarts, 0);
}

TEST_F(AppModelLocation, AHeadingWhileNotFollowingOnlyRemembersItAndAnInterruptionStopsTheCompass)
{
    auto& model = makeShownModel(12, 0.0);
    position->deliverHeading(HeadingReading { 178, 180, 5 });
    EXPECT_DOUBLE_EQ(*canvas->latestHeading, std::numbers::pi);
    EXPECT_FALSE(canvas->targetBearing);
    EXPECT_EQ(canvas->displayLinkStarts, 0);

    model.toggleCompassFollowing();
    ASSERT_TRUE(position->isUpdatingHeading);
    model.stopCompassFollowing();
    EXPECT_FALSE(model.isCompassFollowing());
    EXPECT_FALSE(position->isUpdatingHeading);
    EXPECT_FALSE(model.location().heading());
}

TEST_F(AppModelLocation, ControlsHideThreeAndAHalfSecondsAfterTheLastReveal)
{
    auto& model = makeModel();
    model.revealControls();
    advance(3.0);
    EXPECT_TRUE(model.areControlsVisible());
    model.revealControls();
    advance(3.375);
    EXPECT_TRUE(model.areControlsVisible());
    advance(0.125);
    EXPECT_FALSE(model.areControlsVisible());

    // A hide still pending when the model goes does nothing.
    model.revealControls();
    EXPECT_TRUE(model.areControlsVisible());
    this->model.reset();
    advance(AppModel::kControlsHideDelaySeconds);
}
