#include "platform/GpsdLocationSource.h"

#include "platform/DrainableMainQueue.h"
#include "testing/GpsFake.h"
#include "testing/NmeaLog.h"
#include "testing/TemporaryFolder.h"

#include <gps.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

using platform::GpsdLocationSource;
using platform::LocationError;
using platform::LocationFix;
using testing_support::GpsFake;
using testing_support::NmeaFix;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Long enough for gpsd to start, and for the source's longest pause between two tries.
constexpr double kWaitSeconds = 30;
constexpr double kSentenceSeconds = 0.03;
// gpsd's horizontal error for each unit of dilution, when the receiver names none.
constexpr double kGpsdMetersPerHdop = 19;

class GpsdLocation : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The test needs the real daemon: a machine without it fails here, never skips.
        ASSERT_FALSE(GpsFake::program().empty()) << "gpsfake (Debian's gpsd-clients) is not installed";
    }

    std::filesystem::path writeLog(const std::string& name, const std::string& text)
    {
        const auto path = folder / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // The daemon has a receiver for the source, without a fix so far.
    bool receiverWaits() const
    {
        return !failures.empty() && failures.back().code == LocationError::Code::locationUnknown;
    }

    std::unique_ptr<GpsdLocationSource> makeSource(int port)
    {
        auto source = std::make_unique<GpsdLocationSource>("127.0.0.1", port, mainQueue);
        source->onLocations = [this](const std::vector<LocationFix>& delivered) {
            fixes.insert(fixes.end(), delivered.begin(), delivered.end());
        };
        source->onFailure = [this](const LocationError& error) { failures.push_back(error); };
        return source;
    }

    // Runs the main queue until `done` holds; false once the wait ran out.
    bool runUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kWaitSeconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            mainQueue->runOneWaiting(0.1);
        }
        return true;
    }

    std::vector<NmeaFix> walk(int count, int first)
    {
        auto fixes = testing_support::nmeaWalk(count, 10, first);
        // The second half with a poorer dilution, which gpsd's estimate must follow.
        for (std::size_t i = fixes.size() / 2; i < fixes.size(); ++i)
            fixes[i].hdop = 2.0;
        return fixes;
    }

    static void expectFixesOf(const std::vector<LocationFix>& got, const std::vector<NmeaFix>& logged)
    {
        ASSERT_EQ(got.size(), logged.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(got[i].latitude, testing_support::nmeaLatitude(logged[i]), 1e-6);
            EXPECT_NEAR(got[i].longitude, testing_support::kNmeaStartLongitude, 1e-6);
            EXPECT_EQ(got[i].timestamp, testing_support::kNmeaLogStartUnixSeconds + logged[i].seconds);
            EXPECT_NEAR(got[i].altitude, testing_support::nmeaAltitude(logged[i]), 1e-3);
            EXPECT_GT(got[i].verticalAccuracy, 0);
            EXPECT_NEAR(got[i].speed, 2.0, 0.06);
        }
    }

    // The fixes with the last word for each moment: gpsd may report a moment twice while
    // it learns the receiver's cycle, the second time with its altitude.
    static std::vector<LocationFix> lastOfEachMoment(const std::vector<LocationFix>& fixes)
    {
        std::vector<LocationFix> moments;
        for (const auto& fix : fixes) {
            if (!moments.empty() && moments.back().timestamp == fix.timestamp)
                moments.back() = fix;
            else
                moments.push_back(fix);
        }
        return moments;
    }

    testing_support::TemporaryFolder folder;
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::vector<LocationFix> fixes;
    std::vector<LocationError> failures;
};

} // namespace

TEST_F(GpsdLocation, AWalkArrivesFixByFixInOrderAndResumesOnceTheDaemonIsBack)
{
    const auto before = walk(8, 0);
    const auto after = walk(8, 8);
    const int port = GpsFake::freePort();
    auto gpsd = std::make_unique<GpsFake>(writeLog("before.nmea", testing_support::nmeaLog(before)), port, kSentenceSeconds);
    ASSERT_TRUE(gpsd->waitUntilListening(kWaitSeconds));
    auto source = makeSource(port);
    source->startUpdatingLocation();
    ASSERT_TRUE(runUntil([&] { return receiverWaits(); }));
    gpsd->play();

    ASSERT_TRUE(runUntil([&] { return lastOfEachMoment(fixes).size() == before.size(); }))
        << fixes.size() << " fixes before the wait ran out";
    const auto walked = lastOfEachMoment(fixes);
    expectFixesOf(walked, before);
    for (std::size_t i = 1; i < walked.size(); ++i) {
        // gpsd's estimate scales the dilution of the receiver's latest GSA, which comes
        // after the sentence that ends the fix: it may be the previous fix's.
        SCOPED_TRACE(i);
        const double now = kGpsdMetersPerHdop * before[i].hdop;
        const double previous = kGpsdMetersPerHdop * before[i - 1].hdop;
        EXPECT_TRUE(walked[i].horizontalAccuracy == now || walked[i].horizontalAccuracy == previous)
            << walked[i].horizontalAccuracy;
    }
    EXPECT_EQ(walked.back().horizontalAccuracy, kGpsdMetersPerHdop * 2) << "a poorer dilution is a wider error";
    EXPECT_EQ(source->lastKnownLocation(), fixes.back());

    gpsd->kill();
    ASSERT_TRUE(runUntil([&] { return !failures.empty() && failures.back().code == LocationError::Code::serviceUnavailable; }));
    EXPECT_EQ(failures.back().description, "gpsd ne répond pas sur 127.0.0.1:" + std::to_string(port));

    fixes.clear();
    gpsd = std::make_unique<GpsFake>(writeLog("after.nmea", testing_support::nmeaLog(after)), port, kSentenceSeconds);
    ASSERT_TRUE(runUntil([&] { return receiverWaits(); })) << "the source came back to the daemon";
    gpsd->play();
    ASSERT_TRUE(runUntil([&] { return lastOfEachMoment(fixes).size() == after.size(); }))
        << fixes.size() << " fixes after the daemon came back";
    expectFixesOf(lastOfEachMoment(fixes), after);
}

TEST_F(GpsdLocation, AReceiverWithoutAltitudeGivesFlatFixesAndALostFixIsReportedOnce)
{
    std::vector<NmeaFix> flat = testing_support::nmeaWalk(4);
    for (auto& fix : flat)
        fix.threeDimensional = false;
    std::string log = testing_support::nmeaLog(flat);
    // The sky closes: the receiver keeps talking without a position.
    for (int second = 40; second < 46; ++second) {
        const std::string time = "1200" + std::to_string(second) + ".00";
        log += testing_support::nmeaSentence("GPRMC," + time + ",V,,,,,,,091226,,,N");
        log += testing_support::nmeaSentence("GPGGA," + time + ",,,,,0,00,99.9,,M,,M,,");
        log += testing_support::nmeaSentence("GPGSA,A,1,,,,,,,,,,,,,99.9,99.9,99.9");
    }
    const int port = GpsFake::freePort();
    GpsFake gpsd(writeLog("flat.nmea", log), port, kSentenceSeconds);
    ASSERT_TRUE(gpsd.waitUntilListening(kWaitSeconds));
    auto source = makeSource(port);
    source->setDistanceFilter(5);
    source->startUpdatingLocation();
    ASSERT_TRUE(runUntil([&] { return receiverWaits(); }));
    failures.clear();
    gpsd.play();

    const auto lostFixes = [&] {
        return std::count_if(failures.begin(), failures.end(),
            [](const LocationError& error) { return error.code == LocationError::Code::locationUnknown; });
    };
    ASSERT_TRUE(runUntil([&] { return lostFixes() > 0 && fixes.size() >= flat.size(); }));
    // The rest of the silence, and gpsd going once the log is over.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < until)
        mainQueue->runOneWaiting(0.05);
    ASSERT_EQ(fixes.size(), flat.size()) << "one fix per moment, each 20 m beyond the filter";
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(fixes[i].latitude, testing_support::nmeaLatitude(flat[i]), 1e-6);
        EXPECT_TRUE(std::isnan(fixes[i].altitude));
        EXPECT_EQ(fixes[i].verticalAccuracy, -1);
        EXPECT_GT(fixes[i].horizontalAccuracy, 0);
    }
    EXPECT_EQ(lostFixes(), 1) << "the receiver's silence is news once";
}

TEST_F(GpsdLocation, WithoutADaemonTheSourceSaysSoOnceAndKeepsTrying)
{
    const int port = GpsFake::freePort();
    auto source = makeSource(port);
    EXPECT_EQ(source->name(), "gpsd (127.0.0.1:" + std::to_string(port) + ")");
    EXPECT_EQ(source->authorization(), platform::LocationAuthorization::authorizedWhenInUse);
    source->startUpdatingLocation();
    ASSERT_TRUE(runUntil([&] { return !failures.empty(); }));
    EXPECT_EQ(failures[0].code, LocationError::Code::serviceUnavailable);
    // Two more tries go by, 0.5 s and 1 s apart, without a second report.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1700);
    while (std::chrono::steady_clock::now() < until)
        mainQueue->runOneWaiting(0.1);
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_TRUE(fixes.empty());
}

TEST(GpsdFix, TakesTheBestErrorEstimateGpsdGivesAndFiveMetresWithoutOne)
{
    struct Case {
        const char* what;
        int mode;
        double eph, epx, epy, epv, altMSL, altHAE;
        double horizontal, vertical, altitude;
    };
    const Case cases[] = {
        { "gpsd's own estimate", MODE_3D, 12, 3, 4, 20, 1035, 1085, 12, 20, 1035 },
        { "errors along the axes only", MODE_3D, kNaN, 6, 8, 20, 1035, 1085, 10, 20, 1035 },
        { "no estimate at all", MODE_3D, kNaN, kNaN, kNaN, kNaN, 1035, 1085, 5, 5, 1035 },
        { "a height above the ellipsoid only", MODE_3D, 8, kNaN, kNaN, 9, kNaN, 1085, 8, 9, 1085 },
        { "a 2D fix", MODE_2D, 8, kNaN, kNaN, 9, 1035, 1085, 8, -1, kNaN },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gps_data_t data {};
        data.fix.mode = c.mode;
        data.fix.latitude = 45.92;
        data.fix.longitude = 6.87;
        data.fix.eph = c.eph;
        data.fix.epx = c.epx;
        data.fix.epy = c.epy;
        data.fix.epv = c.epv;
        data.fix.altMSL = c.altMSL;
        data.fix.altHAE = c.altHAE;
        data.fix.speed = kNaN;
        data.fix.track = 90;
        data.fix.time = { 1796817600, 500'000'000 };
        const auto fix = GpsdLocationSource::fixFor(data);
        ASSERT_TRUE(fix);
        EXPECT_EQ(fix->horizontalAccuracy, c.horizontal);
        EXPECT_EQ(fix->verticalAccuracy, c.vertical);
        if (std::isnan(c.altitude))
            EXPECT_TRUE(std::isnan(fix->altitude));
        else
            EXPECT_EQ(fix->altitude, c.altitude);
        EXPECT_EQ(fix->speed, -1);
        EXPECT_EQ(fix->course, 90);
        EXPECT_EQ(fix->timestamp, 1796817600.5);
    }
    gps_data_t noFix {};
    noFix.fix.mode = MODE_NO_FIX;
    EXPECT_FALSE(GpsdLocationSource::fixFor(noFix));
}
