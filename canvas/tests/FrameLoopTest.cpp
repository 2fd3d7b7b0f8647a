#include "CanvasTestSupport.h"

#include <cmath>
#include <numbers>

namespace velorin {
namespace {

using testing_support::CanvasTest;

TEST_F(CanvasTest, TheLoopDrawsWhatIsPendingThenStopsAfterThirtyOneIdleFrames)
{
    auto canvas = makeCanvas();
    canvas->layout();
    ASSERT_TRUE(window.linkRunning);
    // The first frame draws the new layout; 0.25 s of detail after the first fit's moves
    // are not counted as camera changes since nothing moved.
    EXPECT_EQ(runFrames(*canvas), 1 + MapCanvasView::kIdleFramesBeforeStop);
    EXPECT_EQ(window.draws, 1);
    EXPECT_FALSE(canvas->hasDisplayLink());

    canvas->ensureDisplayLink();
    EXPECT_EQ(runFrames(*canvas), 1 + MapCanvasView::kIdleFramesBeforeStop);
    EXPECT_EQ(window.draws, 2);
}

TEST_F(CanvasTest, AMovingCameraAsksForCoarserScenesUntilAQuarterSecondAfterItsLastChange)
{
    auto canvas = makeCanvas();
    canvas->layout();
    runFrames(*canvas);
    const int drawsBefore = window.draws;

    canvas->cameraDidChange();
    clock->advance(kFrameSeconds);
    canvas->step(clock->now(), clock->now() + kFrameSeconds);
    EXPECT_EQ(canvas->renderer().detailBias, 1);

    const int frames = runFrames(*canvas);
    EXPECT_EQ(canvas->renderer().detailBias, 0);
    // Active for 0.25 s, one more frame to draw the full detail, then the idle frames.
    const int movingFrames = int(std::ceil(MapCanvasView::kMovingDetailSeconds / kFrameSeconds));
    EXPECT_NEAR(window.draws - drawsBefore, movingFrames + 1, 1);
    EXPECT_EQ(frames + 1, window.draws - drawsBefore + MapCanvasView::kIdleFramesBeforeStop);
}

TEST_F(CanvasTest, ABackgroundedCanvasMakesNoFramesAndSavesItsViewAtOnce)
{
    auto canvas = makeCanvas();
    canvas->layout();
    canvas->cameraDidChange();
    clock->advance(0.2);
    canvas->renderer().camera.zoom = 9;
    canvas->handleBackground();
    EXPECT_FALSE(window.linkRunning);
    EXPECT_EQ(defaults->array("Velorin.lastCamera").value().at(2), 9.0);

    canvas->ensureDisplayLink();
    EXPECT_FALSE(window.linkRunning);
    canvas->handleForeground();
    EXPECT_TRUE(window.linkRunning);
}

TEST_F(CanvasTest, APanGlidesAQuarterOfItsSpeedThenReportsTheFinalCamera)
{
    defaults->setArray("Velorin.lastCamera", nlohmann::json::array({45.9, 6.87, 13}));
    auto canvas = makeCanvas();
    canvas->layout();
    runFrames(*canvas);
    const Camera before = canvas->camera();

    std::vector<Camera> reports;
    canvas->onCameraChanged = [&reports](const Camera& camera) { reports.push_back(camera); };
    canvas->setInertia(PanInertia{{2000, 0}});
    ASSERT_TRUE(window.linkRunning);
    runFrames(*canvas);

    const Camera& after = canvas->camera();
    // A flat view moves its centre against the drag, by pixels at the centre's scale.
    const double movedPixels = (before.center.x - after.center.x) * after.scale();
    EXPECT_NEAR(movedPixels, 500, 5.5);
    EXPECT_DOUBLE_EQ(after.center.y, before.center.y);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), after);
    EXPECT_EQ(canvas->inertia(), PanInertia{});
    EXPECT_FALSE(window.linkRunning);
}

TEST_F(CanvasTest, BearingEasesTheShortWayAcrossTheSeamAndSnapsWhenClose)
{
    auto canvas = makeCanvas();
    canvas->layout();
    runFrames(*canvas);
    canvas->headingDidChange(-3.1 * 180 / std::numbers::pi);
    canvas->renderer().camera.bearing = 3.1;
    canvas->setCompassFollowing(true);
    clock->advance(kFrameSeconds);
    canvas->step(clock->now(), clock->now() + 0.5);
    // 1 − e^(−4.5) of the 0.083 rad short arc, through π.
    const double expected = Camera::wrapAngle(3.1 + (2 * std::numbers::pi - 6.2) * (1 - std::exp(-4.5)));
    EXPECT_NEAR(canvas->camera().bearing, expected, 1e-12);

    runFrames(*canvas);
    EXPECT_EQ(canvas->camera().bearing, canvas->targetBearing());
    EXPECT_FALSE(window.linkRunning);
}

TEST_F(CanvasTest, TheReliefToggleEasesThePitchAndBringsADeepZoomBackToTheBasemap)
{
    auto canvas = makeCanvas();
    canvas->layout();
    canvas->set3D(true);
    runFrames(*canvas);
    EXPECT_EQ(canvas->camera().pitch, MapCanvasView::kReliefPitchRadians);

    canvas->renderer().camera.zoom = 22;
    canvas->setInertia(PanInertia{{500, 0}});
    canvas->set3D(false);
    EXPECT_EQ(canvas->camera().zoom, 22) << "no jump";
    ASSERT_TRUE(canvas->animation());
    EXPECT_EQ(canvas->animation()->duration, MapCanvasView::kZoomAnimationSeconds);
    EXPECT_FALSE(canvas->inertia().isMoving());
    EXPECT_FALSE(canvas->awaitingInitialLocation()) << "the first fix no longer moves the view";
    const double deepest = canvas->animation()->toZoom;
    runFor(*canvas, MapCanvasView::kZoomAnimationSeconds / 2);
    EXPECT_LT(canvas->camera().zoom, 22);
    EXPECT_GT(canvas->camera().zoom, deepest);
    runFrames(*canvas);
    EXPECT_EQ(canvas->camera().pitch, 0);
    EXPECT_NEAR(canvas->camera().zoom, deepest, 1e-9);
    EXPECT_NEAR(canvas->camera().zoom, canvas->maxZoom(), 1e-9);
    EXPECT_LT(canvas->maxZoom(), 22);
}

} // namespace
} // namespace velorin
