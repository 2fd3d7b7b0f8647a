#include "canvas/qt/CanvasInput.h"
#include "canvas/tests/CanvasTestSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QStyleHints>
#include <QTouchEvent>
#include <QWheelEvent>
#include <QWidget>

#include <cmath>
#include <fstream>
#include <numbers>

namespace velorin {
namespace {

using testing_support::CanvasTest;

// One application for the whole test binary; plain widgets need no display.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "velorin_canvas_qt_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}

// Counts the key presses that the filter lets through to the widget.
class KeyCountingWidget : public QWidget {
public:
    int keyPresses = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        ++keyPresses;
        QWidget::keyPressEvent(event);
    }
};

// A plain widget with the input filter on it, over a canvas at rest over the Alps at
// zoom 13 (1000×800 pixels, 500×400 points).
class CanvasInputTest : public CanvasTest {
protected:
    std::shared_ptr<MapCanvasView> canvas;
    std::unique_ptr<KeyCountingWidget> widget;
    std::vector<Camera> reports;
    int touches = 0;
    qint64 time = 1000;

    void SetUp() override
    {
        ensureApplication();
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
        defaults->setArray("Velorin.lastCamera", nlohmann::json::array({45.9, 6.87, 13}));
        canvas = makeCanvas();
        canvas->layout();
        runFrames(*canvas);
        canvas->onCameraChanged = [this](const Camera& camera) { reports.push_back(camera); };
        canvas->onTouch = [this] { ++touches; };
        widget = std::make_unique<KeyCountingWidget>();
        widget->resize(500, 400);
        new CanvasInput(canvas, widget.get());
    }

    bool send(QEvent& event) { return QCoreApplication::sendEvent(widget.get(), &event); }

    void key(QEvent::Type type, int code, const QString& text, Qt::KeyboardModifiers modifiers = {},
        bool autoRepeat = false)
    {
        QKeyEvent event(type, code, modifiers, text, autoRepeat);
        send(event);
    }

    void mouse(QEvent::Type type, QPointF position, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = {})
    {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton
            : type == QEvent::MouseMove                                     ? Qt::LeftButton
                                                                            : Qt::MouseButtons(button);
        QMouseEvent event(type, position, widget->mapToGlobal(position), type == QEvent::MouseMove ? Qt::NoButton : button,
            buttons, modifiers);
        event.setTimestamp(static_cast<quint64>(time));
        send(event);
    }

    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers)
    {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, modifiers);
        time += 16;
        mouse(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton, modifiers);
        time += 16;
        mouse(QEvent::MouseMove, to, Qt::LeftButton, modifiers);
        time += 16;
        mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, modifiers);
    }

    void scroll(Qt::ScrollPhase phase, QPoint pixels, QPoint angle = {})
    {
        const QPointF at {200, 150};
        QWheelEvent event(at, widget->mapToGlobal(at), pixels, angle, Qt::NoButton, Qt::NoModifier, phase, false);
        event.setTimestamp(static_cast<quint64>(time));
        send(event);
        time += 16;
    }

    void gesture(Qt::NativeGestureType type, double value)
    {
        const QPointF at {250, 200};
        QNativeGestureEvent event(
            type, QPointingDevice::primaryPointingDevice(), 2, at, at, widget->mapToGlobal(at), value, {}, {});
        send(event);
    }

    // The journal's gesture lines, "début …" and "fin …", without time or view.
    std::vector<std::string> gestureLines() const
    {
        std::ifstream file(folder / "cache" / "VelorinGestes.log");
        std::vector<std::string> texts;
        for (std::string line; std::getline(file, line);) {
            std::string text = line.substr(24, line.find(" -startAt ") - 24);
            if (text.starts_with("début ") || text.starts_with("fin "))
                texts.push_back(std::move(text));
        }
        return texts;
    }

    // Taps out the double-click interval (zero here) so that a waiting click happens.
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
};

TEST_F(CanvasInputTest, ArrowsAndLettersMoveTheMapWhileHeldAndReportOnceWhenReleased)
{
    struct Case {
        int key;
        QString text;
        Qt::KeyboardModifiers modifiers;
        double panPixels;
        double bearing;
        double zoom;
    };
    // Half a second of each; Shift or Control do not stop a letter from counting.
    const Case cases[] = {
        {Qt::Key_Left, "", {}, 240, 0, 0},
        {Qt::Key_Up, "", {}, 240, 0, 0},
        {Qt::Key_Q, "Q", Qt::ShiftModifier, 0, -0.5, 0},
        {Qt::Key_D, "d", {}, 0, 0.5, 0},
        {Qt::Key_D, QString(QChar(4)), Qt::ControlModifier, 0, 0.5, 0},
        {Qt::Key_Z, "z", {}, 0, 0, -0.5},
        {Qt::Key_S, "s", {}, 0, 0, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const Camera before = canvas->camera();
        reports.clear();
        key(QEvent::KeyPress, c.key, c.text, c.modifiers);
        EXPECT_EQ(canvas->heldKeys().size(), 1u);
        runFor(*canvas, 0.5);
        const Camera after = canvas->camera();
        const std::size_t moving = reports.size();
        key(QEvent::KeyRelease, c.key, c.text, c.modifiers);
        EXPECT_TRUE(canvas->heldKeys().empty());
        ASSERT_EQ(reports.size(), moving + 1);
        EXPECT_EQ(reports.back(), after);
        const double moved = std::hypot(after.center.x - before.center.x, after.center.y - before.center.y) * before.scale();
        EXPECT_NEAR(moved, c.panPixels, 1e-6);
        EXPECT_NEAR(Camera::wrapAngle(after.bearing - before.bearing), c.bearing, 1e-9);
        EXPECT_NEAR(after.zoom - before.zoom, c.zoom, 1e-9);
        canvas->setHeldModifiers({});
        canvas->applyCamera(before, true);
        runFrames(*canvas);
    }
}

TEST_F(CanvasInputTest, AutoRepeatNeitherRestartsTheMotionNorReports)
{
    key(QEvent::KeyPress, Qt::Key_D, "d");
    runFor(*canvas, 0.2);
    canvas->zoom(14, {500, 400});
    reports.clear();
    for (int i = 0; i < 5; ++i) {
        key(QEvent::KeyRelease, Qt::Key_D, "d", {}, true);
        key(QEvent::KeyPress, Qt::Key_D, "d", {}, true);
    }
    EXPECT_EQ(canvas->heldKeys(), std::vector<std::string>{"d"});
    // A fresh press would have ended the zoom's animation.
    EXPECT_TRUE(canvas->animation());
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(touches, 1);
    key(QEvent::KeyRelease, Qt::Key_D, "d");
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(CanvasInputTest, OtherKeysGoOnToTheWidgetAndModifierKeysAreHeldUntilReleasedOrFocusIsLost)
{
    key(QEvent::KeyPress, Qt::Key_X, "x");
    EXPECT_TRUE(canvas->heldKeys().empty());
    EXPECT_EQ(widget->keyPresses, 1);

    key(QEvent::KeyPress, Qt::Key_Alt, "");
    key(QEvent::KeyPress, Qt::Key_Super_L, "", Qt::AltModifier);
    EXPECT_EQ(canvas->heldModifiers(), (KeyModifiers{.option = true, .command = true}));
    key(QEvent::KeyRelease, Qt::Key_Alt, "", Qt::AltModifier | Qt::MetaModifier);
    EXPECT_EQ(canvas->heldModifiers(), KeyModifiers{.command = true});

    // Modifier keys go on too; a motion key stays with the map.
    EXPECT_EQ(widget->keyPresses, 3);
    key(QEvent::KeyPress, Qt::Key_Right, "", Qt::MetaModifier);
    EXPECT_EQ(widget->keyPresses, 3);
    reports.clear();
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    send(focusOut);
    EXPECT_TRUE(canvas->heldKeys().empty());
    EXPECT_EQ(canvas->heldModifiers(), KeyModifiers{});
    EXPECT_TRUE(reports.empty());
    const Camera resting = canvas->camera();
    runFrames(*canvas);
    EXPECT_EQ(canvas->camera(), resting);
}

TEST_F(CanvasInputTest, EachModifierOfAMouseDragGivesItsMotion)
{
    enum class Motion { pan, focal, tilt, turn, climb };
    struct Case {
        const char* name;
        Qt::KeyboardModifiers modifiers;
        double pitch;
        QPointF drag;
        Motion motion;
    };
    const Case cases[] = {
        {"plain", {}, 0, {40, 25}, Motion::pan},
        {"super", Qt::MetaModifier, 0, {40, 25}, Motion::pan},
        {"control", Qt::ControlModifier | Qt::AltModifier, 0.5, {0, 30}, Motion::focal},
        {"alt and shift", Qt::AltModifier | Qt::ShiftModifier, 0.5, {5, -30}, Motion::tilt},
        {"alt", Qt::AltModifier, 0.8, {30, 5}, Motion::turn},
        {"shift", Qt::ShiftModifier, 0.5, {5, 50}, Motion::climb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Camera before = pitched(*canvas, c.pitch);
        const QPointF finger {200, 150};
        const WorldPoint grabbed = before.worldPoint(canvas->pixelPoint({finger.x(), finger.y()}));
        reports.clear();
        drag(finger, finger + c.drag, c.modifiers);
        const Camera after = canvas->camera();
        switch (c.motion) {
        case Motion::pan: {
            const QPointF end = finger + c.drag;
            const WorldPoint under = after.worldPoint(canvas->pixelPoint({end.x(), end.y()}));
            EXPECT_NEAR(under.x, grabbed.x, 1e-12);
            EXPECT_NEAR(under.y, grabbed.y, 1e-12);
            EXPECT_EQ(after.zoom, before.zoom);
            break;
        }
        case Motion::focal:
            EXPECT_NEAR(after.focalLength, before.focalLength * std::exp(0.1), 1e-12);
            break;
        case Motion::tilt:
            EXPECT_NEAR(after.pitch, before.pitch + 0.1 * 1.3089969389957472, 1e-6);
            break;
        case Motion::turn:
            EXPECT_NEAR(Camera::wrapAngle(after.bearing - before.bearing), -0.1, 1e-6);
            break;
        case Motion::climb:
            EXPECT_EQ(after.center, before.center);
            EXPECT_GT(after.zoom, before.zoom);
            break;
        }
        if (c.modifiers == Qt::NoModifier) {
            // A plain drag let go while moving glides on.
            EXPECT_TRUE(canvas->inertia().isMoving());
        } else {
            ASSERT_FALSE(reports.empty());
            EXPECT_EQ(reports.back(), canvas->camera());
        }
        restoreAfterDrag(*canvas, before);
        time += 1000;
    }
}

TEST_F(CanvasInputTest, ADragThatRestsBeforeLettingGoLeavesNoGlide)
{
    const QPointF from {200, 150};
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    time += 16;
    mouse(QEvent::MouseMove, from + QPointF(60, 0), Qt::LeftButton);
    time += 300;
    mouse(QEvent::MouseButtonRelease, from + QPointF(60, 0), Qt::LeftButton);
    EXPECT_FALSE(canvas->inertia().isMoving());
}

TEST_F(CanvasInputTest, AClickWaitsForTheDoubleClickAndAHeldPressIsNoClick)
{
    // Each press tells the application at once; a click tells it once more.
    const QPointF at {250, 200};
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    time += 80;
    mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
    EXPECT_EQ(touches, 1);
    settle();
    EXPECT_EQ(touches, 2);

    // The second press of a double click arrives as the double click.
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
    mouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
    settle();
    EXPECT_EQ(touches, 4);
    EXPECT_TRUE(canvas->animation());
    runFrames(*canvas);
    EXPECT_NEAR(canvas->camera().zoom, 14, 1e-9);

    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    time += 600;
    mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
    settle();
    EXPECT_EQ(touches, 5);
}

TEST_F(CanvasInputTest, APressOfAnyButtonTellsTheApplicationAtOnce)
{
    const QPointF at {250, 200};
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        touches = 0;
        mouse(QEvent::MouseButtonPress, at, button);
        EXPECT_EQ(touches, 1) << button;
        time += CanvasInput::kHoldMilliseconds;
        mouse(QEvent::MouseButtonRelease, at, button);
        settle();
        EXPECT_EQ(touches, 1) << button;
    }
}

TEST_F(CanvasInputTest, ASuperClickGlidesThereAndARightClickZoomsOutAboutIt)
{
    const double zoom = canvas->camera().zoom;
    mouse(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::MetaModifier);
    mouse(QEvent::MouseButtonRelease, {100, 100}, Qt::LeftButton, Qt::MetaModifier);
    settle();
    ASSERT_TRUE(canvas->animation());
    EXPECT_EQ(canvas->animation()->toZoom, zoom);
    runFrames(*canvas);

    const QPointF at {400, 100};
    const WorldPoint ground = canvas->camera().worldPoint(canvas->pixelPoint({at.x(), at.y()}));
    mouse(QEvent::MouseButtonPress, at, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, at, Qt::RightButton);
    ASSERT_TRUE(canvas->animation());
    runFrames(*canvas);
    EXPECT_NEAR(canvas->camera().zoom, zoom - 1, 1e-9);
    const WorldPoint after = canvas->camera().worldPoint(canvas->pixelPoint({at.x(), at.y()}));
    EXPECT_NEAR(after.x, ground.x, 1e-9);
    EXPECT_NEAR(after.y, ground.y, 1e-9);
}

TEST_F(CanvasInputTest, WheelNotchesZoomAboutTheCursorWhileTrackpadScrollingDragsTheMap)
{
    const double zoom = canvas->camera().zoom;
    scroll(Qt::NoScrollPhase, {}, {0, 240});
    ASSERT_TRUE(canvas->animation());
    EXPECT_NEAR(canvas->animation()->toZoom, zoom + 2 * MapCanvasView::kWheelZoomLevelsPerNotch, 1e-9);
    runFrames(*canvas);
    const Camera before = canvas->camera();

    scroll(Qt::ScrollBegin, {});
    scroll(Qt::ScrollUpdate, {10, 0});
    scroll(Qt::ScrollUpdate, {20, 5});
    const Camera after = canvas->camera();
    EXPECT_EQ(after.zoom, before.zoom);
    const WorldPoint grabbed = before.worldPoint(canvas->pixelPoint({170, 145}));
    const WorldPoint under = after.worldPoint(canvas->pixelPoint({200, 150}));
    EXPECT_NEAR(under.x, grabbed.x, 1e-12);
    EXPECT_NEAR(under.y, grabbed.y, 1e-12);
    scroll(Qt::ScrollMomentum, {20, 0});
    EXPECT_TRUE(canvas->inertia().isMoving());
    scroll(Qt::ScrollEnd, {});
    EXPECT_EQ(canvas->camera(), after);
}

TEST_F(CanvasInputTest, TrackpadPinchAndRotateZoomAndTurnTheMapThenReport)
{
    defaults->setBoolean(GestureJournal::kEnabledKey, true);
    const Camera before = canvas->camera();
    gesture(Qt::BeginNativeGesture, 0);
    gesture(Qt::ZoomNativeGesture, 0.5);
    gesture(Qt::ZoomNativeGesture, 1.0 / 3);
    EXPECT_NEAR(canvas->camera().zoom, before.zoom + 1, 1e-9);
    // Counter-clockwise degrees, counted from where the turn starts to act.
    gesture(Qt::RotateNativeGesture, 20);
    gesture(Qt::RotateNativeGesture, 10);
    EXPECT_NEAR(canvas->targetBearing(), Camera::wrapAngle(before.bearing + 10 * std::numbers::pi / 180), 1e-9);
    reports.clear();
    gesture(Qt::EndNativeGesture, 0);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), canvas->camera());
    EXPECT_EQ(gestureLines(), (std::vector<std::string>{"début pincer ", "début pivoter ", "fin pincer  ×2.000",
                                  "fin pivoter  -0.524 rad"}));
}

class TouchInputTest : public CanvasInputTest {
protected:
    QPointingDevice screen {"screen", 1, QInputDevice::DeviceType::TouchScreen, QPointingDevice::PointerType::Finger,
        QInputDevice::Capability::Position, 5, 0};

    void touch(QEvent::Type type, std::vector<std::pair<QEventPoint::State, QPointF>> fingers)
    {
        QList<QEventPoint> points;
        int id = 0;
        for (const auto& [state, at] : fingers)
            points.push_back(QEventPoint(id++, state, at, widget->mapToGlobal(at)));
        QTouchEvent event(type, &screen, Qt::NoModifier, points);
        event.setTimestamp(static_cast<quint64>(time));
        send(event);
        time += 16;
    }
};

TEST_F(TouchInputTest, AFingerDownTellsTheApplicationAndOneFingerDragsTheMap)
{
    const Camera before = canvas->camera();
    const QPointF from {200, 150};
    const WorldPoint grabbed = before.worldPoint(canvas->pixelPoint({from.x(), from.y()}));
    touch(QEvent::TouchBegin, {{QEventPoint::Pressed, from}});
    EXPECT_EQ(touches, 1);
    touch(QEvent::TouchUpdate, {{QEventPoint::Updated, from + QPointF(30, 10)}});
    touch(QEvent::TouchUpdate, {{QEventPoint::Updated, from + QPointF(60, 20)}});
    const WorldPoint under = canvas->camera().worldPoint(canvas->pixelPoint({260, 170}));
    EXPECT_NEAR(under.x, grabbed.x, 1e-12);
    EXPECT_NEAR(under.y, grabbed.y, 1e-12);
    touch(QEvent::TouchEnd, {{QEventPoint::Released, from + QPointF(60, 20)}});
    EXPECT_TRUE(canvas->inertia().isMoving());
}

TEST_F(TouchInputTest, TwoFingersSpreadingZoomAndMovingUprightTilt)
{
    defaults->setBoolean(GestureJournal::kEnabledKey, true);
    const Camera before = canvas->camera();
    touch(QEvent::TouchBegin, {{QEventPoint::Pressed, {200, 200}}});
    touch(QEvent::TouchUpdate, {{QEventPoint::Stationary, {200, 200}}, {QEventPoint::Pressed, {300, 200}}});
    touch(QEvent::TouchUpdate, {{QEventPoint::Updated, {150, 200}}, {QEventPoint::Updated, {350, 200}}});
    EXPECT_NEAR(canvas->camera().zoom, before.zoom + 1, 1e-9);
    EXPECT_EQ(canvas->camera().pitch, 0);
    reports.clear();
    touch(QEvent::TouchEnd, {{QEventPoint::Released, {150, 200}}, {QEventPoint::Released, {350, 200}}});
    EXPECT_FALSE(reports.empty());
    EXPECT_EQ(gestureLines(), (std::vector<std::string>{"début incliner ", "début pincer ", "début pivoter ",
                                  "fin incliner  (0, 0)", "fin pincer  ×2.000", "fin pivoter  0.000 rad"}))
        << "each of the two fingers' gestures begins and ends, the pinch with its scale";

    // The tilt counts from where it starts to act, 15 points up.
    touch(QEvent::TouchBegin, {{QEventPoint::Pressed, {200, 300}}, {QEventPoint::Pressed, {300, 300}}});
    touch(QEvent::TouchUpdate, {{QEventPoint::Updated, {200, 285}}, {QEventPoint::Updated, {300, 285}}});
    touch(QEvent::TouchUpdate, {{QEventPoint::Updated, {200, 225}}, {QEventPoint::Updated, {300, 225}}});
    EXPECT_NEAR(canvas->camera().pitch, 0.2 * 1.3089969389957472, 1e-9);
    touch(QEvent::TouchEnd, {{QEventPoint::Released, {200, 225}}, {QEventPoint::Released, {300, 225}}});
    EXPECT_GT(canvas->targetPitch(), 0);
}

TEST_F(TouchInputTest, TapsClickDoubleTapsGlideAndTwoFingerTapsZoomOut)
{
    const double zoom = canvas->camera().zoom;
    touch(QEvent::TouchBegin, {{QEventPoint::Pressed, {250, 200}}});
    touch(QEvent::TouchEnd, {{QEventPoint::Released, {250, 200}}});
    settle();
    EXPECT_EQ(touches, 2);

    touch(QEvent::TouchBegin, {{QEventPoint::Pressed, {250, 200}}, {QEventPoint::Pressed, {300, 200}}});
    touch(QEvent::TouchEnd, {{QEventPoint::Released, {250, 200}}, {QEventPoint::Released, {300, 200}}});
    ASSERT_TRUE(canvas->animation());
    EXPECT_NEAR(canvas->animation()->toZoom, zoom - 1, 1e-9);
    runFrames(*canvas);

    // Two taps in quick succession: one level closer, and no click.
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(400);
    const int before = touches;
    touch(QEvent::TouchBegin, {{QEventPoint::Pressed, {250, 200}}});
    touch(QEvent::TouchEnd, {{QEventPoint::Released, {250, 200}}});
    touch(QEvent::TouchBegin, {{QEventPoint::Pressed, {252, 201}}});
    touch(QEvent::TouchEnd, {{QEventPoint::Released, {252, 201}}});
    ASSERT_TRUE(canvas->animation());
    EXPECT_NEAR(canvas->animation()->toZoom, zoom, 1e-9);
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
    settle();
    EXPECT_EQ(touches, before + 2);
}

} // namespace
} // namespace velorin
