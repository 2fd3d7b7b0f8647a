#include "CanvasTestSupport.h"

#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>

namespace velorin {
namespace {

using testing_support::CanvasTest;

// A canvas at rest over the Alps, at zoom 13, 1000×800 pixels.
class CameraMotion : public CanvasTest {
protected:
    std::shared_ptr<MapCanvasView> canvas;
    std::vector<Camera> reports;

    void SetUp() override
    {
        defaults->setArray("Velorin.lastCamera", nlohmann::json::array({45.9, 6.87, 13}));
        canvas = makeCanvas();
        canvas->layout();
        runFrames(*canvas);
        canvas->onCameraChanged = [this](const Camera& camera) { reports.push_back(camera); };
    }

    double viewWidthInWorld() const { return 1000 / canvas->camera().scale(); }
};

TEST_F(CameraMotion, ANearTargetGlidesForFourTenthsOfASecondWhileAFarOneIsJumpedTo)
{
    const WorldPoint start = canvas->camera().center;
    const double width = viewWidthInWorld();
    const WorldPoint near {start.x + width, start.y};
    canvas->animateCamera(near, 14, true);
    ASSERT_TRUE(canvas->animation());
    EXPECT_EQ(canvas->camera().center, start);

    runFor(*canvas, 0.2);
    // Half way in time is half way with the symmetric easing.
    EXPECT_NEAR(canvas->camera().center.x, start.x + width / 2, 1e-9);
    EXPECT_NEAR(canvas->camera().zoom, 13.5, 1e-9);
    runFrames(*canvas);
    EXPECT_FALSE(canvas->animation());
    EXPECT_EQ(canvas->camera().center, near);
    EXPECT_EQ(canvas->camera().zoom, 14);
    EXPECT_FALSE(window.linkRunning);

    const WorldPoint far {near.x + 3 * viewWidthInWorld(), near.y};
    reports.clear();
    canvas->animateCamera(far, std::nullopt, true);
    EXPECT_FALSE(canvas->animation());
    EXPECT_EQ(canvas->camera().center, far);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), canvas->camera());
}

TEST_F(CameraMotion, AnAnimatedZoomIsClampedIntoTheZoomLimits)
{
    const WorldPoint here = canvas->camera().center;
    canvas->animateCamera(here, 40, true);
    EXPECT_EQ(canvas->animation()->toZoom, canvas->maxZoom());
    canvas->animateCamera(here, 0, true);
    EXPECT_EQ(canvas->animation()->toZoom, canvas->minZoom());
}

TEST_F(CameraMotion, ZoomingAboutAPointKeepsTheGroundUnderIt)
{
    struct Case {
        double bearing;
        double pitch;
        Camera::Point about;
        double zoom;
    };
    const Case cases[] = {
        {0, 0, {100, 700}, 15},
        {0.7, 0, {900, 150}, 12},
        {-2.5, 0.6, {300, 600}, 14.5},
        {1.2, 0.9, {800, 500}, 13.2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bearing);
        Camera camera = canvas->camera();
        camera.bearing = c.bearing;
        camera.pitch = c.pitch;
        camera.zoom = 13;
        canvas->applyCamera(camera, true);
        const WorldPoint ground = canvas->camera().worldPoint(c.about);

        canvas->zoom(c.zoom, c.about);
        ASSERT_TRUE(canvas->animation());
        EXPECT_DOUBLE_EQ(canvas->animation()->duration, 0.25);
        runFrames(*canvas);
        EXPECT_DOUBLE_EQ(canvas->camera().zoom, c.zoom);
        const WorldPoint after = canvas->camera().worldPoint(c.about);
        EXPECT_NEAR(after.x, ground.x, 1e-9);
        EXPECT_NEAR(after.y, ground.y, 1e-9);
    }
}

TEST_F(CameraMotion, ThePalettesZoomStepsZoomAboutTheMiddleOfAFlatView)
{
    Camera camera = canvas->camera();
    camera.zoom = 12;
    canvas->applyCamera(camera, true);
    const WorldPoint middle = canvas->camera().center;

    canvas->adjustFlyoverDistance(1);
    runFrames(*canvas);
    EXPECT_DOUBLE_EQ(canvas->camera().zoom, 13);
    EXPECT_NEAR(canvas->camera().center.x, middle.x, 1e-12);
    EXPECT_NEAR(canvas->camera().center.y, middle.y, 1e-12);

    canvas->adjustFlyoverDistance(-2);
    runFrames(*canvas);
    EXPECT_DOUBLE_EQ(canvas->camera().zoom, 11);
}

TEST_F(CameraMotion, AppliedCamerasOutsideTheZoomLimitsAreIgnoredSilently)
{
    Camera camera = canvas->camera();
    camera.zoom = canvas->maxZoom() + 1;
    canvas->applyCamera(camera, false);
    EXPECT_EQ(canvas->camera().zoom, 13);
    EXPECT_TRUE(reports.empty());

    camera.zoom = 14;
    camera.bearing = 0.5;
    canvas->applyCamera(camera, false);
    EXPECT_EQ(canvas->camera(), camera);
    EXPECT_EQ(canvas->targetBearing(), 0.5);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), camera);
}

TEST_F(CameraMotion, RotatingWrapsTheTargetBearingAndFlatViewsTurnAboutTheCentre)
{
    Camera camera = canvas->camera();
    camera.bearing = 3;
    canvas->applyCamera(camera, true);
    canvas->rotate(std::numbers::pi / 2);
    EXPECT_NEAR(canvas->targetBearing(), 3 + std::numbers::pi / 2 - 2 * std::numbers::pi, 1e-12);

    pitched(*canvas, MapCanvasView::kMinTurnInPlacePitchRadians);
    const double target = canvas->targetBearing();
    canvas->turnInPlace(0.5);
    EXPECT_FALSE(canvas->gaze());
    EXPECT_NEAR(canvas->targetBearing(), Camera::wrapAngle(target + 0.5), 1e-12);
}

TEST_F(CameraMotion, APitchedViewTurnsAboutItsEye)
{
    const Camera before = pitched(*canvas, 0.9);
    const auto eye = canvas->renderer().eyePosition(before);
    canvas->turnInPlace(std::numbers::pi / 4);
    ASSERT_TRUE(canvas->gaze());
    runFrames(*canvas);
    EXPECT_FALSE(canvas->gaze());
    const Camera& after = canvas->camera();
    EXPECT_NEAR(Camera::wrapAngle(after.bearing - before.bearing), std::numbers::pi / 4, 1e-6);
    const auto eyeAfter = canvas->renderer().eyePosition(after);
    EXPECT_NEAR(eyeAfter.ground.x, eye.ground.x, 1e-9);
    EXPECT_NEAR(eyeAfter.ground.y, eye.ground.y, 1e-9);

    canvas->turnInPlaceNow(-std::numbers::pi / 4);
    EXPECT_NEAR(Camera::wrapAngle(canvas->camera().bearing - before.bearing), 0, 1e-6);
}

TEST_F(CameraMotion, EveryGestureStopsATurningGazeAndTakesTheCameraItself)
{
    struct Case {
        const char* gesture;
        std::function<void(MapCanvasView&)> start;
    };
    const std::vector<Case> cases = {
        {"drag", [](MapCanvasView& c) { c.dragBegan(); c.dragChanged({40, 0}, {250, 200}, {}); }},
        {"wheel", [](MapCanvasView& c) { c.wheelNotches(1, {250, 200}); }},
        {"pinch", [](MapCanvasView& c) { c.pinchBegan(); c.pinchChanged(1.5, {250, 200}); }},
        {"tilt", [](MapCanvasView& c) { c.tiltChanged({0, -20}, 1); c.tiltChanged({0, -40}, 1); }},
        {"rotation", [](MapCanvasView& c) { c.rotationChanged(0.2, {250, 200}); c.rotationChanged(0.4, {250, 200}); }},
    };
    const Camera start = pitched(*canvas, 0.9);
    for (const Case& c : cases) {
        canvas->turnInPlace(std::numbers::pi / 2);
        ASSERT_TRUE(canvas->gaze()) << c.gesture;
        c.start(*canvas);
        EXPECT_FALSE(canvas->gaze()) << c.gesture;
        const Camera moved = canvas->camera();
        clock->advance(kFrameSeconds);
        canvas->step(clock->now(), clock->now() + kFrameSeconds);
        EXPECT_NEAR(Camera::wrapAngle(canvas->camera().bearing - moved.bearing), 0, 0.01)
            << c.gesture << ": the gaze does not turn the view back";
        canvas->tiltEnded();
        canvas->rotationEnded();
        canvas->setInertia({});
        canvas->applyCamera(start, true);
        runFrames(*canvas);
    }
}

TEST_F(CameraMotion, AGlideEndsFollowingTheWalker)
{
    int interactions = 0;
    canvas->onUserInteraction = [&interactions] { ++interactions; };
    canvas->doubleClick({250, 200});
    EXPECT_EQ(interactions, 1) << "a double click";
    runFrames(*canvas);
    canvas->click({100, 100}, {.command = true});
    EXPECT_EQ(interactions, 2) << "a Super-click";
    runFrames(*canvas);
    canvas->click({100, 100}, {});
    EXPECT_EQ(interactions, 2) << "a plain click moves nothing";
}

TEST_F(CameraMotion, FramingARectangleCentresItAtItsFittingZoom)
{
    const WorldPoint c = canvas->camera().center;
    const WorldRect rect {c.x, c.y, c.x + 0.0004, c.y + 0.0002};
    canvas->fit(rect, false);
    EXPECT_DOUBLE_EQ(canvas->camera().center.x, c.x + 0.0002);
    EXPECT_DOUBLE_EQ(canvas->camera().center.y, c.y + 0.0001);
    EXPECT_NEAR(canvas->camera().fitZoom(rect, 48), canvas->camera().zoom, 1e-9);
}

TEST_F(CameraMotion, HeldKeysPanTurnAndZoomAtTheirRates)
{
    struct Case {
        std::vector<std::string> keys;
        double panPixelsPerSecond;
        double bearingPerSecond;
        double zoomPerSecond;
    };
    const Case cases[] = {
        {{"left"}, 480, 0, 0},
        {{"down"}, 480, 0, 0},
        {{"left", "right"}, 0, 0, 0},
        {{"q"}, 0, -1, 0},
        {{"q", "d"}, 0, 0, 0},
        {{"d"}, 0, 1, 0},
        {{"z"}, 0, 0, -1},
        {{"s"}, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.front());
        const Camera before = canvas->camera();
        canvas->keysPressed("", c.keys);
        runFor(*canvas, 0.5);
        const Camera after = canvas->camera();
        canvas->keysReleased(c.keys, false);
        const double moved = std::hypot(after.center.x - before.center.x, after.center.y - before.center.y) * before.scale();
        EXPECT_NEAR(moved, c.panPixelsPerSecond / 2, 1e-6);
        EXPECT_NEAR(Camera::wrapAngle(after.bearing - before.bearing), c.bearingPerSecond / 2, 1e-9);
        EXPECT_NEAR(after.zoom - before.zoom, c.zoomPerSecond / 2, 1e-9);
        canvas->applyCamera(before, true);
        runFrames(*canvas);
    }
}

TEST_F(CameraMotion, AlmostVerticalViewsPanATenthAsFast)
{
    const Camera before = pitched(*canvas, 89 * std::numbers::pi / 180);
    canvas->keysPressed("", {"right"});
    runFor(*canvas, 0.5);
    const Camera& after = canvas->camera();
    EXPECT_NEAR(std::hypot(after.center.x - before.center.x, after.center.y - before.center.y) * before.scale(), 24, 1e-6);
}

TEST_F(CameraMotion, TurningKeysEndCompassFollowingWhereverItIsKeptAndTheOthersLeaveIt)
{
    int interrupted = 0;
    canvas->onCompassFollowingInterrupted = [&interrupted] { ++interrupted; };
    struct Case {
        std::string key;
        bool canvasFollows;
        int interruptions;
    };
    for (const Case& c : {Case {"up", true, 0}, Case {"z", true, 0}, Case {"s", false, 0}, Case {"q", true, 1},
             Case {"d", false, 1}, Case {"q", false, 1}}) {
        SCOPED_TRACE(c.key);
        interrupted = 0;
        canvas->setCompassFollowing(c.canvasFollows);
        canvas->keysPressed(c.key, {c.key});
        canvas->keysReleased({c.key}, false);
        EXPECT_EQ(interrupted, c.interruptions);
        EXPECT_EQ(canvas->isCompassFollowing(), c.canvasFollows && c.interruptions == 0);
        runFrames(*canvas);
    }
}

TEST_F(CameraMotion, KeysReportTheCameraOnceWhenTheLastIsReleasedAndRepeatsChangeNothing)
{
    int touches = 0;
    canvas->onTouch = [&touches] { ++touches; };
    canvas->keysPressed("", {"up"});
    canvas->keysPressed("d", {"d"});
    runFor(*canvas, 0.3);
    canvas->keysPressed("", {"up"});
    EXPECT_EQ(touches, 2);

    reports.clear();
    canvas->keysReleased({"up"}, false);
    EXPECT_TRUE(reports.empty());
    runFor(*canvas, 0.1);
    const std::size_t moving = reports.size();
    canvas->keysReleased({"d"}, false);
    ASSERT_EQ(reports.size(), moving + 1);
    EXPECT_EQ(reports.back(), canvas->camera());
    canvas->keysReleased({"d"}, false);
    EXPECT_EQ(reports.size(), moving + 1);

    canvas->keysPressed("z", {"z"});
    canvas->keysReleased({"z"}, true);
    EXPECT_EQ(reports.size(), moving + 1);
    EXPECT_TRUE(canvas->heldKeys().empty());
}

TEST_F(CameraMotion, AKeyPressEndsAnimationsAndAGlideAndLosingFocusLetsGoOfEverything)
{
    canvas->zoom(15, {500, 400});
    canvas->keysPressed("s", {"s"});
    EXPECT_FALSE(canvas->animation());
    EXPECT_EQ(canvas->inertia(), PanInertia{});

    canvas->setHeldModifiers(KeyModifiers{true, false, false, false});
    canvas->focusLost();
    EXPECT_TRUE(canvas->heldKeys().empty());
    EXPECT_EQ(canvas->heldModifiers(), KeyModifiers{});
    const Camera resting = canvas->camera();
    runFrames(*canvas);
    EXPECT_EQ(canvas->camera(), resting);
}

TEST_F(CameraMotion, EveryKeyPressLeavesAJournalLineButOnlyMotionKeysMoveTheMap)
{
    defaults->setBoolean(GestureJournal::kEnabledKey, true);
    canvas->setHeldModifiers({.command = true});
    canvas->keysPressed("x", {});
    EXPECT_TRUE(canvas->heldKeys().empty());
    EXPECT_FALSE(window.linkRunning);
    canvas->keysPressed("Q", {"q"});
    EXPECT_EQ(canvas->heldKeys(), std::vector<std::string>{"q"});

    std::ifstream file(folder / "cache" / "VelorinGestes.log");
    std::vector<std::string> texts;
    for (std::string line; std::getline(file, line);)
        texts.push_back(line.substr(24, line.find(" -startAt ") - 24));
    EXPECT_EQ(texts, (std::vector<std::string>{"touche x  ⌘", "touche Q q ⌘"}));
}

TEST_F(CameraMotion, EachModifierRowOfADragGivesItsMotion)
{
    enum class Motion { pan, focal, tilt, turn, climb };
    struct Case {
        const char* name;
        KeyModifiers modifiers;
        double pitch;
        Camera::Point drag;
        Motion motion;
    };
    const Case cases[] = {
        {"plain", {}, 0, {40, 25}, Motion::pan},
        {"command", {.command = true}, 0, {40, 25}, Motion::pan},
        {"control", {.control = true, .option = true}, 0.5, {0, 30}, Motion::focal},
        {"option and shift", {.option = true, .shift = true}, 0.5, {5, -30}, Motion::tilt},
        {"option", {.option = true}, 0.8, {30, 5}, Motion::turn},
        {"shift", {.shift = true}, 0.5, {5, 50}, Motion::climb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Camera before = pitched(*canvas, c.pitch);
        const Camera::Point finger {200, 150};
        const WorldPoint grabbed = before.worldPoint(canvas->pixelPoint(finger));
        reports.clear();
        canvas->dragBegan();
        canvas->dragChanged(c.drag, {finger.x + c.drag.x, finger.y + c.drag.y}, c.modifiers);
        const Camera after = canvas->camera();
        switch (c.motion) {
        case Motion::pan: {
            const WorldPoint under = after.worldPoint(canvas->pixelPoint({finger.x + c.drag.x, finger.y + c.drag.y}));
            EXPECT_NEAR(under.x, grabbed.x, 1e-12);
            EXPECT_NEAR(under.y, grabbed.y, 1e-12);
            EXPECT_EQ(after.zoom, before.zoom);
            break;
        }
        case Motion::focal:
            EXPECT_NEAR(after.focalLength, before.focalLength * std::exp(0.1), 1e-12);
            EXPECT_NEAR(after.zoom - before.zoom, std::log2(std::exp(0.1)), 1e-12);
            EXPECT_EQ(canvas->userFocalLength(), after.focalLength);
            break;
        case Motion::tilt:
            EXPECT_NEAR(after.pitch, before.pitch + 0.1 * 1.3089969389957472, 1e-6);
            EXPECT_NEAR(after.bearing, before.bearing, 1e-9);
            break;
        case Motion::turn:
            EXPECT_NEAR(Camera::wrapAngle(after.bearing - before.bearing), -0.1, 1e-6);
            break;
        case Motion::climb:
            EXPECT_EQ(after.center, before.center);
            EXPECT_GT(after.zoom, before.zoom);
            EXPECT_GT(after.pitch, before.pitch);
            break;
        }
        canvas->dragEnded({300, 0});
        if (c.motion == Motion::pan && c.modifiers == KeyModifiers{}) {
            EXPECT_TRUE(canvas->inertia().isMoving());
        } else {
            ASSERT_FALSE(reports.empty());
            EXPECT_EQ(reports.back(), canvas->camera());
        }
        restoreAfterDrag(*canvas, before);
    }
}

TEST_F(CameraMotion, ADoubleClickGlidesOneLevelCloserToTheGroundAndDoesNothingOnTheSky)
{
    canvas->doubleClick({250, 200});
    ASSERT_TRUE(canvas->animation());
    EXPECT_EQ(canvas->animation()->toZoom, 14);
    EXPECT_EQ(canvas->animation()->duration, MapCanvasView::kGlideSeconds);
    runFrames(*canvas);

    pitched(*canvas, 2.0);
    const Camera before = canvas->camera();
    canvas->doubleClick({250, 0});
    EXPECT_FALSE(canvas->animation());
    EXPECT_FALSE(canvas->gaze());
    runFrames(*canvas);
    EXPECT_EQ(canvas->camera(), before);
}

TEST_F(CameraMotion, WheelStepsZoomAboutTheCursorAndPinchesStayWithinTheZoomLimits)
{
    const Camera::Point cursor {100, 300};
    const WorldPoint under = canvas->camera().worldPoint(canvas->pixelPoint(cursor));
    canvas->wheelNotches(2, cursor);
    runFrames(*canvas);
    EXPECT_DOUBLE_EQ(canvas->camera().zoom, 13 + 2 * MapCanvasView::kWheelZoomLevelsPerNotch);
    const WorldPoint after = canvas->camera().worldPoint(canvas->pixelPoint(cursor));
    EXPECT_NEAR(after.x, under.x, 1e-9);
    EXPECT_NEAR(after.y, under.y, 1e-9);

    canvas->pinchBegan();
    canvas->pinchChanged(1e6, cursor);
    EXPECT_EQ(canvas->camera().zoom, canvas->maxZoom());
    canvas->pinchChanged(1e-9, cursor);
    EXPECT_EQ(canvas->camera().zoom, canvas->minZoom());
}

TEST_F(CameraMotion, OnlyAnUprightTwoFingerDragWithoutSpreadingTilts)
{
    struct Case {
        Camera::Point translation;
        double pinchScale;
        bool tilts;
    };
    const Case cases[] = {
        {{10, -20}, 1, false},
        {{0, -11}, 1, false},
        {{0, -30}, 1.09, false},
        {{5, -30}, 1.05, true},
    };
    for (const Case& c : cases) {
        canvas->tiltChanged(c.translation, c.pinchScale);
        // Spread fingers never start a tilt, but carry on one that has started.
        canvas->tiltChanged({0, -60}, 1.5);
        EXPECT_EQ(canvas->camera().pitch > 0, c.tilts) << c.translation.y << " " << c.pinchScale;
    }
    canvas->tiltEnded();
}

TEST_F(CameraMotion, ATiltEndedUnderThreeDegreesEasesBackFlat)
{
    // 300 points of drag tilt by 75°: 8 points by 2°, 16 by 4°.
    for (const double degrees : {2.0, 4.0}) {
        std::vector<bool> pitched;
        canvas->onPitchChanged = [&pitched](bool on) { pitched.push_back(on); };
        canvas->tiltChanged({0, -20}, 1);
        canvas->tiltChanged({0, -20 - degrees * 4}, 1);
        EXPECT_NEAR(canvas->camera().pitch, degrees * std::numbers::pi / 180, 1e-12);
        canvas->tiltEnded();
        runFrames(*canvas);
        EXPECT_EQ(canvas->camera().pitch > 0, degrees > 3) << degrees;
        EXPECT_EQ(pitched, std::vector<bool>{degrees > 3});
        canvas->applyCamera(canvas->camera(), true);
        Camera flat = canvas->camera();
        flat.pitch = 0;
        canvas->applyCamera(flat, true);
        runFrames(*canvas);
    }
}

TEST_F(CameraMotion, ARotationStartsPastAThresholdAndKeepsTheGroundUnderTheFingers)
{
    const Camera::Point fingers {150, 300};
    canvas->rotationChanged(0.15, fingers);
    EXPECT_EQ(canvas->camera().bearing, 0);

    const WorldPoint ground = canvas->camera().worldPoint(canvas->pixelPoint(fingers));
    canvas->rotationChanged(0.2, fingers);
    EXPECT_EQ(canvas->camera().bearing, 0);
    canvas->rotationChanged(0.7, fingers);
    EXPECT_NEAR(canvas->camera().bearing, -0.5, 1e-12);
    EXPECT_EQ(canvas->targetBearing(), canvas->camera().bearing);
    const WorldPoint after = canvas->camera().worldPoint(canvas->pixelPoint(fingers));
    EXPECT_NEAR(after.x, ground.x, 1e-12);
    EXPECT_NEAR(after.y, ground.y, 1e-12);

    reports.clear();
    canvas->rotationEnded();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.back(), canvas->camera());
}

TEST_F(CameraMotion, ATwoFingerClickZoomsOutALevelAboutItAndACommandClickGlidesThere)
{
    canvas->twoFingerClick({100, 100}, {});
    ASSERT_TRUE(canvas->animation());
    EXPECT_EQ(canvas->animation()->toZoom, 12);
    runFrames(*canvas);

    const Camera resting = canvas->camera();
    canvas->click({100, 100}, {});
    EXPECT_FALSE(canvas->animation());
    canvas->click({100, 100}, {.command = true});
    ASSERT_TRUE(canvas->animation());
    const WorldPoint clicked = resting.worldPoint(canvas->pixelPoint({100, 100}));
    EXPECT_NEAR(canvas->animation()->toCenter.x, clicked.x, 1e-12);
    EXPECT_EQ(canvas->animation()->toZoom, resting.zoom);
}

} // namespace
} // namespace velorin
