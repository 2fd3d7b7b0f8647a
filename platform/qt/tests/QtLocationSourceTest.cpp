#include "platform/qt/QtLocationSource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNmeaPositionInfoSource>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using platform::LocationAuthorization;
using platform::LocationError;
using platform::LocationFix;

namespace {

constexpr double kReplayTimeoutSeconds = 10.0;

// A walk replayed from an NMEA log at the pace it was recorded (four fixes, a quarter of a
// second apart): two 3D fixes 111 m apart, a 2D fix, then a 3D fix 1 m further on.
std::unique_ptr<QNmeaPositionInfoSource> walkReplay()
{
    auto nmea = std::make_unique<QNmeaPositionInfoSource>(QNmeaPositionInfoSource::SimulationMode);
    auto* file = new QFile(VELORIN_FIXTURES "/walk.nmea", nmea.get());
    EXPECT_TRUE(file->open(QIODevice::ReadOnly));
    nmea->setDevice(file);
    // Accuracies in metres come from the dilutions of precision times this error.
    nmea->setUserEquivalentRangeError(5.0);
    return nmea;
}

class QtLocationSource : public ::testing::Test {
protected:
    int argc = 0;
    QCoreApplication application { argc, nullptr };

    // Runs Qt's event loop until `done` or the timeout.
    template <typename Done>
    static void runUntil(Done done)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < kReplayTimeoutSeconds * 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
};

} // namespace

TEST_F(QtLocationSource, AnNmeaReplayGivesFixesPastTheDistanceFilterAndNoAltitudeForA2DFix)
{
    platform::QtLocationSource source(walkReplay());
    EXPECT_EQ(source.authorization(), LocationAuthorization::authorizedWhenInUse);
    std::vector<LocationFix> fixes;
    source.onLocations = [&](const std::vector<LocationFix>& delivered) {
        fixes.insert(fixes.end(), delivered.begin(), delivered.end());
    };
    source.setDistanceFilter(5);
    source.startUpdatingLocation();
    // The last fix of the log is held back by the filter, but the source still knows it.
    const double lastLatitude = 45.92571;
    runUntil([&] {
        auto last = source.lastKnownLocation();
        return last && std::abs(last->latitude - lastLatitude) < 1e-6;
    });

    ASSERT_EQ(fixes.size(), 3u);
    EXPECT_NEAR(fixes[0].latitude, 45.9237, 1e-6);
    EXPECT_NEAR(fixes[0].longitude, 6.8694, 1e-6);
    EXPECT_EQ(fixes[0].altitude, 1035.0);
    EXPECT_GT(fixes[0].horizontalAccuracy, 0);
    EXPECT_GT(fixes[0].verticalAccuracy, 0);
    EXPECT_NEAR(fixes[0].speed, 0.514444, 1e-4) << "one knot";
    EXPECT_EQ(fixes[0].course, 90.0);
    EXPECT_NEAR(fixes[1].latitude, 45.9247, 1e-6);
    EXPECT_NEAR(fixes[1].timestamp - fixes[0].timestamp, 0.25, 1e-3);
    EXPECT_TRUE(std::isnan(fixes[2].altitude));
    EXPECT_LT(fixes[2].verticalAccuracy, 0) << "a 2D fix has no usable altitude";
}

TEST_F(QtLocationSource, RefusedAccessTurnsTheSourceDeniedAndReportsTheFailure)
{
    auto replay = walkReplay();
    auto* nmea = replay.get();
    platform::QtLocationSource source(std::move(replay));
    int authorizationChanges = 0;
    std::vector<LocationError> failures;
    source.onAuthorizationChange = [&] { ++authorizationChanges; };
    source.onFailure = [&](const LocationError& error) { failures.push_back(error); };

    emit nmea->errorOccurred(QGeoPositionInfoSource::UpdateTimeoutError);
    EXPECT_EQ(source.authorization(), LocationAuthorization::authorizedWhenInUse);
    emit nmea->errorOccurred(QGeoPositionInfoSource::AccessError);
    EXPECT_EQ(source.authorization(), LocationAuthorization::denied);
    EXPECT_EQ(authorizationChanges, 1);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].code, LocationError::Code::locationUnknown);
    EXPECT_EQ(failures[1].code, LocationError::Code::denied);
    EXPECT_FALSE(failures[1].description.empty());
}

TEST_F(QtLocationSource, AMachineWithoutPositioningIsRestrictedAndKnowsNoFix)
{
    platform::QtLocationSource source(nullptr);
    EXPECT_EQ(source.authorization(), LocationAuthorization::restricted);
    EXPECT_FALSE(source.headingAvailable());
    source.startUpdatingLocation();
    source.requestLocation();
    EXPECT_FALSE(source.lastKnownLocation());
}

TEST_F(QtLocationSource, AnNmeaReceiverWithoutARangeErrorIsGivenOneSoItsFixesCarryAnAccuracy)
{
    struct Case {
        double given;
        double kept;
    };
    for (const Case& c : {Case {std::nan(""), platform::QtLocationSource::kNmeaRangeErrorMeters}, Case {3.0, 3.0}}) {
        auto nmea = std::make_unique<QNmeaPositionInfoSource>(QNmeaPositionInfoSource::RealTimeMode);
        if (!std::isnan(c.given))
            nmea->setUserEquivalentRangeError(c.given);
        auto* receiver = nmea.get();
        platform::QtLocationSource source(std::move(nmea));
        EXPECT_EQ(receiver->userEquivalentRangeError(), c.kept);
    }
}
