#include "platform/qt/QtTileMapView.h"

#include "platform/ManualClock.h"
#include "testing/TestApplication.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using platform::MapCamera;
using platform::QtTileMapView;

class QtTileMapViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.resize(640, 480);
        view.onCameraChanged = [this](const MapCamera& camera, bool userMoving) {
            reports.push_back({camera, userMoving});
        };
        view.onRegionChanged = [this](const MapCamera& camera) { rests.push_back(camera); };
    }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }

    struct Report {
        MapCamera camera;
        bool userMoving;
    };
    // Before any widget.
    QApplication& application = testing_support::application();
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(0.0);
    QtTileMapView view {{{}, clock}};
    std::vector<Report> reports;
    std::vector<MapCamera> rests;
};

TEST_F(QtTileMapViewTest, ACameraIsReportedBeforeSetCameraReturnsWithItsPitchStoppedAt60Degrees)
{
    view.setCamera({45.9, 6.87, 5000, 75, 30}, false);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].camera.pitch, 60);
    EXPECT_FALSE(reports[0].userMoving);
    EXPECT_TRUE(rests.empty());
    EXPECT_EQ(view.camera(), (MapCamera {45.9, 6.87, 5000, 60, 30}));

    // A camera with a value that is not a number changes nothing and says nothing.
    view.setCamera({45.9, std::numeric_limits<double>::quiet_NaN(), 5000, 10, 0}, false);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(view.camera().longitude, 6.87);
}

TEST_F(QtTileMapViewTest, ADragReportsTheUserMovingThenComesToRest)
{
    view.setCamera({45.9, 6.87, 5000, 0, 0}, false);
    reports.clear();
    rests.clear();
    mouse(QEvent::MouseButtonPress, {320, 240}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {300, 240}, Qt::LeftButton);
    EXPECT_TRUE(view.isUserMoving());
    mouse(QEvent::MouseMove, {220, 240}, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {220, 240}, Qt::NoButton);

    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(reports[0].userMoving && reports[1].userMoving);
    EXPECT_FALSE(view.isUserMoving());
    ASSERT_EQ(rests.size(), 1u);
    // The ground under the pointer went with it: 100 points west brings the east to the centre.
    const double metres = (rests[0].longitude - 6.87) * M_PI / 180 * std::cos(45.9 * M_PI / 180) * 6378137;
    EXPECT_NEAR(metres, 100 * 5000 / (1.5 * 480), 0.5);
    EXPECT_NEAR(rests[0].latitude, 45.9, 1e-9);
}

TEST_F(QtTileMapViewTest, ASuperClickCentresThereAnimatedButAHeldPressIsNoClick)
{
    view.setCamera({45.9, 6.87, 5000, 0, 0}, false);
    const auto superClick = [this](double heldSeconds) {
        const QPointF at(100, 100);
        QMouseEvent press(QEvent::MouseButtonPress, at, view.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
            Qt::MetaModifier);
        QApplication::sendEvent(&view, &press);
        clock->advance(heldSeconds);
        QMouseEvent release(QEvent::MouseButtonRelease, at, view.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
            Qt::MetaModifier);
        QApplication::sendEvent(&view, &release);
        clock->advance(QtTileMapView::kAnimationSeconds + 0.01);
        // The animation's timer runs on the event loop; it ends at once on this clock.
        QElapsedTimer waited;
        waited.start();
        while (heldSeconds < QtTileMapView::kHoldSeconds && rests.empty() && waited.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    const auto ground = view.coordinate({100, 100});
    rests.clear();
    superClick(0.6);
    QApplication::processEvents();
    EXPECT_EQ(view.camera().longitude, 6.87);
    superClick(0.1);
    EXPECT_NEAR(view.camera().latitude, ground->latitude, 1e-9);
    EXPECT_NEAR(view.camera().longitude, ground->longitude, 1e-9);
    EXPECT_EQ(rests.size(), 1u);
}

} // namespace
