#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"
#include "app/tests/ReplayedWalk.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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
