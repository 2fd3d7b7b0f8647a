#include "app/LocationService.h"

#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/FakeLocationSource.h"
#include "testing/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

using platform::DeviceOrientation;
using platform::HeadingReading;
using platform::LocationAuthorization;
using platform::LocationError;
using platform::LocationFix;
using testing_support::FakeLocationSource;

namespace {

LocationFix fixAt(double latitude, double timestamp)
{
    LocationFix fix;
    fix.latitude = latitude;
    fix.longitude = 6.87;
    fix.horizontalAccuracy = 10;
    fix.timestamp = timestamp;
    return fix;
}

class LocationService : public ::testing::Test {
protected:
    testing_support::LogCapture log;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(1000.0);
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<FakeLocationSource::Control> device;
    std::optional<DeviceOrientation> windowOrientation;
    std::unique_ptr<velorin::LocationService> service;
    std::vector<LocationFix> updates;
    std::vector<double> headings;
    std::vector<LocationAuthorization> authorizations;

    velorin::LocationService& makeService(LocationAuthorization authorization)
    {
        auto source = std::make_unique<FakeLocationSource>();
        device = source->control();
        device->authorization = authorization;
        service = std::make_unique<velorin::LocationService>(std::move(source), clock, mainQueue, [this] { return windowOrientation; });
        service->onUpdate = [this](const LocationFix& fix) {
            EXPECT_EQ(service->location(), fix) << "published before it is reported";
            updates.push_back(fix);
        };
        service->onHeading = [this](double degrees) { headings.push_back(degrees); };
        service->onAuthorizationChange = [this](LocationAuthorization status) { authorizations.push_back(status); };
        // The starting permission, reported from the main queue.
        mainQueue->drain();
        authorizations.clear();
        return *service;
    }

    // In whole seconds, draining the main queue after each, so that a pass that re-arms
    // the loop starts its next wait on time.
    void advance(double seconds)
    {
        for (; seconds > 0; seconds -= 1) {
            clock->advance(std::min(1.0, seconds));
            mainQueue->drain();
        }
    }
};

} // namespace

TEST_F(LocationService, StartAsksWhenUndecidedAndStartsUpdatesOnlyWhenAuthorized)
{
    struct Case {
        LocationAuthorization authorization;
        int authorizationRequests;
        int locationStarts;
    };
    for (auto c : {
             Case { LocationAuthorization::notDetermined, 1, 0 },
             Case { LocationAuthorization::denied, 0, 0 },
             Case { LocationAuthorization::restricted, 0, 0 },
             Case { LocationAuthorization::authorizedWhenInUse, 0, 1 },
             Case { LocationAuthorization::authorizedAlways, 0, 1 },
         }) {
        auto& service = makeService(c.authorization);
        EXPECT_EQ(device->distanceFilter, velorin::LocationService::kDistanceFilterMeters);
        service.start();
        EXPECT_TRUE(service.isLocating()) << int(c.authorization);
        EXPECT_EQ(device->authorizationRequests, c.authorizationRequests) << int(c.authorization);
        EXPECT_EQ(device->locationStarts, c.locationStarts) << int(c.authorization);
        EXPECT_EQ(clock->pendingTimers(), std::size_t(c.locationStarts)) << "a refresh loop runs only when authorized";
        this->service.reset();
        advance(velorin::LocationService::kRefreshIntervalSeconds);
    }
}

TEST_F(LocationService, TheStartingPermissionIsReportedOnceFromTheMainQueue)
{
    auto restricted = std::make_unique<FakeLocationSource>();
    restricted->control()->authorization = LocationAuthorization::restricted;
    velorin::LocationService started(std::move(restricted), clock, mainQueue);
    started.onAuthorizationChange = [this](LocationAuthorization status) { authorizations.push_back(status); };
    EXPECT_TRUE(authorizations.empty()) << "the listener is set after construction";
    mainQueue->drain();
    EXPECT_EQ(authorizations, std::vector { LocationAuthorization::restricted });
    mainQueue->drain();
    EXPECT_EQ(authorizations.size(), 1u);

    auto denied = std::make_unique<FakeLocationSource>();
    denied->control()->authorization = LocationAuthorization::denied;
    auto gone = std::make_unique<velorin::LocationService>(std::move(denied), clock, mainQueue);
    gone->onAuthorizationChange = [this](LocationAuthorization status) { authorizations.push_back(status); };
    gone.reset();
    mainQueue->drain();
    EXPECT_EQ(authorizations.size(), 1u) << "a service gone reports nothing";
}

TEST_F(LocationService, GrantedPermissionIsReportedAndStartsUpdatesOnlyOnceLocationWasAskedFor)
{
    auto& service = makeService(LocationAuthorization::notDetermined);
    device->changeAuthorization(LocationAuthorization::authorizedWhenInUse);
    EXPECT_EQ(authorizations, std::vector { LocationAuthorization::authorizedWhenInUse });
    EXPECT_TRUE(service.isAuthorized());
    EXPECT_EQ(device->locationStarts, 0) << "nobody asked for the position yet";

    service.start();
    device->changeAuthorization(LocationAuthorization::authorizedAlways);
    EXPECT_EQ(device->locationStarts, 2);
    EXPECT_EQ(authorizations.back(), LocationAuthorization::authorizedAlways);
}

TEST_F(LocationService, OnlyTheLastOfSeveralFixesIsPublished)
{
    auto& service = makeService(LocationAuthorization::authorizedWhenInUse);
    device->deliver({});
    EXPECT_TRUE(updates.empty());
    device->deliver({ fixAt(45.1, 1), fixAt(45.2, 2), fixAt(45.3, 3) });
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].latitude, 45.3);
    EXPECT_EQ(service.location(), fixAt(45.3, 3));
}

TEST_F(LocationService, AHeadingIsTheTrueOneWhenKnownAndUnusableReadingsAreIgnored)
{
    struct Case {
        HeadingReading reading;
        std::optional<double> published;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (auto c : {
             Case { { 93, 12, -1 }, std::nullopt },
             Case { { 93, 12, nan }, std::nullopt },
             Case { { 93, -1, 5 }, 93.0 },
             Case { { 93, 0, 5 }, 0.0 },
             Case { { 93, 95, 5 }, 95.0 },
         }) {
        auto& service = makeService(LocationAuthorization::authorizedWhenInUse);
        headings.clear();
        device->deliverHeading(c.reading);
        EXPECT_EQ(service.heading(), c.published) << c.reading.headingAccuracy << " " << c.reading.trueHeading;
        EXPECT_EQ(headings.size(), c.published ? 1u : 0u);
    }
}

TEST_F(LocationService, CompassHeadingsTurnOppositeToTheWindow)
{
    struct Case {
        std::optional<DeviceOrientation> window;
        DeviceOrientation heading;
    };
    auto& service = makeService(LocationAuthorization::authorizedWhenInUse);
    for (auto c : {
             Case { std::nullopt, DeviceOrientation::portrait },
             Case { DeviceOrientation::portrait, DeviceOrientation::portrait },
             Case { DeviceOrientation::portraitUpsideDown, DeviceOrientation::portraitUpsideDown },
             Case { DeviceOrientation::landscapeLeft, DeviceOrientation::landscapeRight },
             Case { DeviceOrientation::landscapeRight, DeviceOrientation::landscapeLeft },
         }) {
        windowOrientation = c.window;
        service.updateHeadingOrientation();
        EXPECT_EQ(device->headingOrientation, c.heading);
    }
}

TEST_F(LocationService, TheRefreshAsksEveryFiveMinutesAndRepublishesTheLastKnownFix)
{
    auto& service = makeService(LocationAuthorization::authorizedWhenInUse);
    service.start();
    device->deliver({ fixAt(45.1, 1) });
    updates.clear();
    advance(velorin::LocationService::kRefreshIntervalSeconds - 1);
    EXPECT_EQ(device->locationRequests, 0) << "the first request comes after five minutes, not at once";
    advance(1);
    EXPECT_EQ(device->locationRequests, 1);
    EXPECT_EQ(updates, std::vector { fixAt(45.1, 1) });
    advance(velorin::LocationService::kRefreshIntervalSeconds);
    EXPECT_EQ(device->locationRequests, 2);
}

TEST_F(LocationService, StartingAgainLeavesOneRefreshLoopAndTheDroppedOneSendsNothing)
{
    auto& service = makeService(LocationAuthorization::authorizedWhenInUse);
    service.start();
    device->deliver({ fixAt(45.1, 1) });
    updates.clear();
    advance(100);
    service.start();
    EXPECT_EQ(device->locationStarts, 2);
    advance(200);
    EXPECT_EQ(device->locationRequests, 0) << "the first loop was dropped";
    EXPECT_TRUE(updates.empty());
    advance(100);
    EXPECT_EQ(device->locationRequests, 1);
    advance(velorin::LocationService::kRefreshIntervalSeconds * 3);
    EXPECT_EQ(device->locationRequests, 4);
}

TEST_F(LocationService, TheRefreshNeverRepublishesAFixOlderThanTheLatest)
{
    auto& service = makeService(LocationAuthorization::authorizedWhenInUse);
    service.start();
    device->deliver({ fixAt(45.2, 20) });
    device->lastKnown = fixAt(45.1, 10);
    updates.clear();
    advance(velorin::LocationService::kRefreshIntervalSeconds);
    EXPECT_EQ(device->locationRequests, 1);
    EXPECT_TRUE(updates.empty());
    EXPECT_EQ(service.location(), fixAt(45.2, 20));
}

TEST_F(LocationService, ARefusalStopsLocatingAndEndsTheRefreshWhileOtherFailuresOnlyLog)
{
    log.expect(platform::logcat::location, "échec de localisation : aucune position");
    log.expect(platform::logcat::location, "échec de localisation : accès refusé");
    auto& service = makeService(LocationAuthorization::authorizedWhenInUse);
    service.start();
    device->fail({ LocationError::Code::locationUnknown, "aucune position" });
    EXPECT_TRUE(service.isLocating());
    device->fail({ LocationError::Code::denied, "accès refusé" });
    EXPECT_FALSE(service.isLocating());
    EXPECT_TRUE(log.contains(platform::LogLevel::error, platform::logcat::location, "échec de localisation : accès refusé"));
    advance(velorin::LocationService::kRefreshIntervalSeconds);
    EXPECT_EQ(device->locationRequests, 0);
    EXPECT_EQ(clock->pendingTimers(), 0u) << "the loop ended";
}
