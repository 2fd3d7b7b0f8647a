#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"
#include "app/tests/NmeaFeed.h"
#include "app/tests/ReplayedWalk.h"
#include "testing/NmeaLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNmeaPositionInfoSource>

#include <fmt/format.h>

#include <chrono>
#include <cmath>

using testing_support::FakeMapCanvas;
using velorin::AltitudeState;

namespace {

constexpr double kReplayTimeoutSeconds = 10.0;

class AppModelNmeaReplay : public testing_support::AppModelFixture {
protected:
    int argc = 0;
    QCoreApplication application { argc, nullptr };
};

} // namespace

TEST_F(AppModelNmeaReplay, AReplayedWalkMovesThePositionMarkerAndTheAltitude)
{
    // Four fixes a quarter of a second apart: two 3D fixes 111 m apart, a 2D fix, then a
    // 3D fix 1 m further on, which the distance filter holds back.
    deviceLocation = testing_support::replayedWalk();
    ASSERT_TRUE(deviceLocation);
    auto& model = makeModel();
    auto canvas = std::make_shared<FakeMapCanvas>();
    model.setCanvas(canvas);
    std::vector<AltitudeState> altitudes;
    QObject::connect(&model, &velorin::AppModel::changed, [&] {
        const auto& altitude = model.altitudeState();
        if (altitude != AltitudeState::searching() && (altitudes.empty() || altitudes.back() != altitude))
            altitudes.push_back(altitude);
    });
    model.start();
    QElapsedTimer timer;
    timer.start();
    while (canvas->userLocations.size() < 3 && timer.elapsed() < kReplayTimeoutSeconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        mainQueue->drain();
    }

    ASSERT_EQ(canvas->userLocations.size(), 3u);
    EXPECT_NEAR(canvas->userLocations[0].latitude, 45.9237, 1e-6);
    EXPECT_NEAR(canvas->userLocations[1].latitude, 45.9247, 1e-6);
    EXPECT_NEAR(canvas->userLocations[2].longitude, 6.8704, 1e-6);
    EXPECT_EQ(altitudes, (std::vector { AltitudeState::value(1035), AltitudeState::value(1040), AltitudeState::unavailable() }));
    ASSERT_TRUE(model.location().location());
    EXPECT_EQ(model.location().location()->latitude, canvas->userLocations.back().latitude);
}

namespace {

using LoggedFix = testing_support::NmeaFix;
using testing_support::kNmeaMetersPerDegree;
constexpr double kMetersPerDegree = kNmeaMetersPerDegree;
constexpr double kLogStartUnixSeconds = testing_support::kNmeaLogStartUnixSeconds;

QByteArray sentence(const std::string& body)
{
    return QByteArray::fromStdString(testing_support::nmeaSentence(body));
}

QByteArray sentences(const LoggedFix& fix)
{
    return QByteArray::fromStdString(testing_support::nmeaSentences(fix));
}

// A walk, fixes worse than 50 m, 2D fixes, six minutes standing, a short walk on and a
// drive at 40 km/h.
std::vector<LoggedFix> outing()
{
    std::vector<LoggedFix> log;
    for (int i = 0; i <= 20; ++i)
        log.push_back({10.0 * i, 20.0 * i, 2.0});
    for (int k = 1; k <= 5; ++k)
        log.push_back({200.0 + 10 * k, 400.0 + 20 * k, 2.0, 12.0});
    for (int k = 1; k <= 5; ++k)
        log.push_back({250.0 + 10 * k, 500.0 + 20 * k, 2.0, 1.0, false});
    for (int k = 1; k <= 36; ++k)
        log.push_back({300.0 + 10 * k, 600, 0});
    for (int k = 1; k <= 5; ++k)
        log.push_back({660.0 + 10 * k, 600.0 + 20 * k, 2.0});
    for (int k = 1; k <= 12; ++k)
        log.push_back({710.0 + 5 * k, 700.0 + 55.5 * k, 11.1});
    return log;
}

platform::SystemTime logTime(double seconds)
{
    return platform::SystemTime(std::chrono::duration_cast<platform::SystemTime::duration>(
        std::chrono::duration<double>(kLogStartUnixSeconds + seconds)));
}

} // namespace

TEST_F(AppModelNmeaReplay, ARecordedOutingKeepsItsGoodFixesWithHowTheWalkerMovedAndItsPause)
{
    // A receiver that names no range error, as gpsd's.
    auto nmea = std::make_unique<QNmeaPositionInfoSource>(QNmeaPositionInfoSource::RealTimeMode);
    auto* receiver = new testing_support::NmeaFeed;
    receiver->setParent(nmea.get());
    nmea->setDevice(receiver);
    deviceLocation = std::make_unique<platform::QtLocationSource>(std::move(nmea));
    now = logTime(-5);
    auto& model = makeModel();
    auto canvas = std::make_shared<FakeMapCanvas>();
    model.setCanvas(canvas);
    model.start();
    mainQueue->drain();

    model.toggleRecording();
    ASSERT_TRUE(model.tracks().isRecording());
    ASSERT_TRUE(model.motion().isRunning());
    EXPECT_TRUE(model.isFollowingUser());
    EXPECT_EQ(model.location().activeDistanceFilter(), 10);
    const std::string id = model.tracks().current()->metadata.id;
    std::vector<velorin::TrackPause> pausesDrawn;
    for (const LoggedFix& fix : outing()) {
        now = logTime(fix.seconds);
        receiver->feed(sentences(fix));
        mainQueue->drain();
    }
    // The receiver hands a fix on once the next one begins.
    now = logTime(780);
    receiver->feed(sentence("GPRMC,121300.00,A,4600.0000,N,00652.2000,E,0.0,0.0,091226,,,A"));
    mainQueue->drain();
    ASSERT_FALSE(canvas->tracks.empty());
    pausesDrawn = canvas->tracks.back().pauses;
    model.toggleRecording();
    EXPECT_FALSE(model.motion().isRunning());

    const auto saved = model.tracks().store().readTrack(id);
    ASSERT_TRUE(saved);
    const auto& points = saved->points;
    // 21 walking, the poor fixes dropped, 5 in 2D, none while standing (the receiver's
    // distance filter holds them back), 5 walking on and 12 driving.
    ASSERT_EQ(points.size(), 43u);
    EXPECT_EQ(saved->metadata.startedAt, logTime(-5));
    EXPECT_EQ(saved->metadata.endedAt, logTime(780));
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(points[i].horizontalAccuracy, 10) << "twice HDOP 1 times the range error given to the receiver, point " << i;
        EXPECT_EQ(points[i].altitude.has_value(), i < 21 || i > 25) << "2D fixes have no altitude, point " << i;
    }
    EXPECT_NEAR(points[21].latitude - points[20].latitude, 120 / kMetersPerDegree, 1e-5) << "past the poor fixes";
    EXPECT_EQ(points[0].mode, std::nullopt) << "before the first confident reading";
    for (std::size_t i = 3; i < 31; ++i)
        EXPECT_EQ(points[i].mode, velorin::TravelMode::walking) << "point " << i;
    for (std::size_t i = 37; i < 43; ++i)
        EXPECT_EQ(points[i].mode, velorin::TravelMode::automotive) << "point " << i;

    const auto pauses = saved->pauses(velorin::Track::kPauseMinimumDurationSeconds, velorin::Track::kPauseRadiusMeters);
    ASSERT_EQ(pauses.size(), 1u);
    EXPECT_EQ(pauses[0].start, logTime(300));
    EXPECT_EQ(pauses[0].end, logTime(670));
    EXPECT_EQ(pausesDrawn, pauses) << "the map got the pause";

    const auto& figures = model.tracks().savedStatistics().at(id);
    EXPECT_NEAR(figures.distance, 1366, 3);
    EXPECT_EQ(figures.duration, 785);
    EXPECT_EQ(figures, velorin::TrackStatistics(*saved));
    EXPECT_EQ(model.tracks().savedTracks().front().id, id);
}
