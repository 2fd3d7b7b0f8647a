#include "platform/qt/LocationSourceFactory.h"

#include "platform/DrainableMainQueue.h"
#include "platform/GpsdLocationSource.h"
#include "platform/qt/AutomaticLocationSource.h"
#include "testing/FakeLocationSource.h"
#include "testing/GpsFake.h"
#include "testing/NmeaLog.h"
#include "testing/TemporaryFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <vector>

using platform::LocationAuthorization;
using platform::LocationFix;
using platform::LocationSourceFactory;
using testing_support::NmeaFix;

namespace {

constexpr double kTimeoutSeconds = 10.0;

class LocationSources : public ::testing::Test {
protected:
    int argc = 0;
    QCoreApplication application { argc, nullptr };
    testing_support::TemporaryFolder folder;
    std::vector<LocationFix> fixes;

    template <typename Done>
    static void runUntil(Done done)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < kTimeoutSeconds * 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    void listen(platform::LocationSource& source)
    {
        source.onLocations = [this](const std::vector<LocationFix>& delivered) {
            fixes.insert(fixes.end(), delivered.begin(), delivered.end());
        };
        source.startUpdatingLocation();
    }

    // Four fixes a quarter of a second apart, 20 m from each other, the third one flat.
    static std::vector<NmeaFix> walk()
    {
        auto fixes = testing_support::nmeaWalk(4, 0.25);
        fixes[2].threeDimensional = false;
        return fixes;
    }

    // The reader hands a fix on once the next one begins: the walk's last may not come yet.
    static void expectFirstOfWalk(const std::vector<LocationFix>& got)
    {
        const auto logged = walk();
        ASSERT_GE(got.size(), logged.size() - 1);
        for (std::size_t i = 0; i < logged.size() - 1; ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(got[i].latitude, testing_support::nmeaLatitude(logged[i]), 1e-6);
            EXPECT_EQ(got[i].horizontalAccuracy, 10) << "twice HDOP 1 times the 5 m assumed";
            EXPECT_EQ(std::isnan(got[i].altitude), !logged[i].threeDimensional);
            EXPECT_NEAR(got[i].timestamp, testing_support::kNmeaLogStartUnixSeconds + logged[i].seconds, 1e-3);
        }
    }
};

} // namespace

TEST_F(LocationSources, AnNmeaLogReplaysItsFixesInOrderAtThePaceOfItsClock)
{
    const auto path = folder / "sortie.nmea";
    std::ofstream(path, std::ios::binary) << testing_support::nmeaLog(walk());
    auto source = LocationSourceFactory::nmea(path.string());
    EXPECT_EQ(source->name(), "NMEA (" + path.string() + ")");
    EXPECT_EQ(source->authorization(), LocationAuthorization::authorizedWhenInUse);
    listen(*source);
    QElapsedTimer timer;
    timer.start();
    runUntil([&] { return fixes.size() >= 3; });
    EXPECT_GE(timer.elapsed(), 400) << "the log's own pace, not all at once";
    expectFirstOfWalk(fixes);
}

TEST_F(LocationSources, AnNmeaStreamOverTcpGivesItsFixes)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* client = server.nextPendingConnection();
        client->write(QByteArray::fromStdString(testing_support::nmeaLog(walk())));
    });
    auto source = LocationSourceFactory::nmea("127.0.0.1:" + std::to_string(server.serverPort()));
    listen(*source);
    runUntil([&] { return fixes.size() >= 3; });
    expectFirstOfWalk(fixes);
}

TEST_F(LocationSources, AnNmeaDeviceOrLogThatCannotBeOpenedIsNoReceiver)
{
    for (const std::string path : { (folder / "absente.nmea").string(), std::string("/dev/ttyACM-absent") }) {
        SCOPED_TRACE(path);
        auto source = LocationSourceFactory::nmea(path);
        EXPECT_EQ(source->authorization(), LocationAuthorization::restricted);
        EXPECT_EQ(source->name(), "NMEA (" + path + ")");
    }
}

TEST_F(LocationSources, AutomaticTakesTheDesktopOnceGpsdIsUnreachableAndStaysOnGpsdWithoutOne)
{
    auto mainQueue = std::make_shared<platform::DrainableMainQueue>();
    for (const bool desktopHasOne : { true, false }) {
        SCOPED_TRACE(desktopHasOne);
        std::shared_ptr<testing_support::FakeLocationSource::Control> desktop;
        const int port = testing_support::GpsFake::freePort();
        platform::AutomaticLocationSource source(std::make_unique<platform::GpsdLocationSource>("127.0.0.1", port, mainQueue),
            [&] {
                auto fake = std::make_unique<testing_support::FakeLocationSource>();
                desktop = fake->control();
                desktop->authorization = desktopHasOne ? LocationAuthorization::authorizedWhenInUse : LocationAuthorization::restricted;
                return fake;
            },
            mainQueue);
        std::vector<platform::LocationError> failures;
        int authorizationChanges = 0;
        source.onFailure = [&](const platform::LocationError& error) { failures.push_back(error); };
        source.onAuthorizationChange = [&] { ++authorizationChanges; };
        source.setDistanceFilter(5);
        listen(source);
        QElapsedTimer timer;
        timer.start();
        while (!desktop && timer.elapsed() < kTimeoutSeconds * 1000)
            mainQueue->runOneWaiting(0.1);
        ASSERT_TRUE(desktop) << "gpsd was found unreachable";
        mainQueue->drain();
        if (desktopHasOne) {
            EXPECT_EQ(source.name(), "appareil de test");
            EXPECT_EQ(desktop->locationStarts, 1);
            EXPECT_EQ(desktop->distanceFilter, 5);
            EXPECT_EQ(authorizationChanges, 1);
            EXPECT_TRUE(failures.empty());
            desktop->deliver({ LocationFix { .latitude = 45.92, .longitude = 6.87 } });
            ASSERT_EQ(fixes.size(), 1u);
            fixes.clear();
        } else {
            EXPECT_EQ(source.name(), "gpsd (127.0.0.1:" + std::to_string(port) + ")");
            ASSERT_EQ(failures.size(), 1u);
            EXPECT_EQ(failures[0].code, platform::LocationError::Code::serviceUnavailable);
        }
    }
}
