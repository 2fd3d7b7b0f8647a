#include "canvas/qt/CanvasInput.h"

#include "canvas/MapCanvasView.h"
#include "canvas/MotionKeyName.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QStyleHints>
#include <QTouchEvent>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace velorin {

namespace {

using Phase = GestureJournal::GesturePhase;

Camera::Point point(QPointF p)
{
    return {p.x(), p.y()};
}

double length(QPointF p)
{
    return std::hypot(p.x(), p.y());
}

ArrowKey arrowKey(int key)
{
    switch (key) {
    case Qt::Key_Left:
        return ArrowKey::left;
    case Qt::Key_Right:
        return ArrowKey::right;
    case Qt::Key_Up:
        return ArrowKey::up;
    case Qt::Key_Down:
        return ArrowKey::down;
    default:
        return ArrowKey::none;
    }
}

// The characters of a key as typed, or its letter when modifiers (Control) turned the
// text into a control character.
std::string characters(const QKeyEvent& event)
{
    const QString text = event.text();
    const bool printable = !text.isEmpty()
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
    if (printable)
        return text.toStdString();
    if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z)
        return std::string(1, static_cast<char>('a' + (event.key() - Qt::Key_A)));
    return {};
}

std::vector<std::string> motionNames(const QKeyEvent& event)
{
    if (auto name = motionKeyName(arrowKey(event.key()), characters(event)))
        return {*name};
    return {};
}

// Sets or clears the flag that a modifier key stands for; false for other keys.
bool applyModifierKey(int key, bool held, KeyModifiers& modifiers)
{
    switch (key) {
    case Qt::Key_Control:
        modifiers.control = held;
        return true;
    case Qt::Key_Alt:
        modifiers.option = held;
        return true;
    case Qt::Key_Shift:
        modifiers.shift = held;
        return true;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        modifiers.command = held;
        return true;
    default:
        return false;
    }
}

bool fromTouchScreen(const QInputEvent& event)
{
    return event.device() && event.device()->type() == QInputDevice::DeviceType::TouchScreen;
}

} // namespace

void CanvasInput::Track::reset(QPointF position, qint64 time)
{
    start = position;
    startTime = time;
    dragging = false;
    recent.clear();
    recent.emplace_back(position, time);
}

void CanvasInput::Track::add(QPointF position, qint64 time)
{
    recent.emplace_back(position, time);
    while (recent.size() > 2 && time - recent[1].second >= kVelocityWindowMilliseconds)
        recent.pop_front();
}

Camera::Point CanvasInput::Track::velocity(QPointF position, qint64 time) const
{
    // A pointer that rested before letting go leaves no glide.
    if (recent.empty() || time - recent.back().second >= kVelocityWindowMilliseconds)
        return {};
    const auto& [from, fromTime] = recent.front();
    const double seconds = (time - fromTime) / 1000.0;
    if (!(seconds > 0))
        return {};
    return {(position.x() - from.x()) / seconds, (position.y() - from.y()) / seconds};
}

CanvasInput::CanvasInput(std::weak_ptr<MapCanvasView> canvas, QWidget* target)
    : QObject(target)
    , canvas_(std::move(canvas))
    , target_(target)
{
    target_->setFocusPolicy(Qt::StrongFocus);
    target_->setAttribute(Qt::WA_AcceptTouchEvents);
    // The pointer over a place name opens its card.
    target_->setMouseTracking(true);
    target_->installEventFilter(this);
    clickTimer_.setSingleShot(true);
    connect(&clickTimer_, &QTimer::timeout, this, &CanvasInput::firePendingClick);
}

KeyModifiers CanvasInput::modifiers(Qt::KeyboardModifiers flags)
{
    return {flags.testFlag(Qt::ControlModifier), flags.testFlag(Qt::AltModifier), flags.testFlag(Qt::ShiftModifier),
        flags.testFlag(Qt::MetaModifier)};
}

bool CanvasInput::eventFilter(QObject* watched, QEvent* event)
{
    const auto canvas = canvas_.lock();
    if (watched != target_ || !canvas)
        return false;
    // While the world map covers the canvas, the pointer moves that map; keys stay here.
    if (canvas->isAppleLayerShown() && (dynamic_cast<QPointerEvent*>(event) || event->type() == QEvent::Leave))
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPressed(*canvas, static_cast<QKeyEvent&>(*event));
    case QEvent::KeyRelease:
        return keyReleased(*canvas, static_cast<QKeyEvent&>(*event));
    case QEvent::FocusOut:
        canvas->focusLost();
        return false;
    case QEvent::MouseButtonPress:
        return mousePressed(*canvas, static_cast<QMouseEvent&>(*event));
    case QEvent::MouseMove:
        return mouseMoved(*canvas, static_cast<QMouseEvent&>(*event));
    case QEvent::Leave:
        canvas->hoverEnded();
        return false;
    case QEvent::MouseButtonRelease:
        return mouseReleased(*canvas, static_cast<QMouseEvent&>(*event));
    case QEvent::MouseButtonDblClick:
        return mouseDoubleClicked(*canvas, static_cast<QMouseEvent&>(*event));
    case QEvent::Wheel:
        return wheel(*canvas, static_cast<QWheelEvent&>(*event));
    case QEvent::NativeGesture:
        return nativeGesture(*canvas, static_cast<QNativeGestureEvent&>(*event));
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return touch(*canvas, static_cast<QTouchEvent&>(*event));
    default:
        return false;
    }
}

bool CanvasInput::keyPressed(MapCanvasView& canvas, QKeyEvent& event)
{
    const std::vector<std::string> names = motionNames(event);
    // The window system repeats a held key as release and press pairs: the key is still
    // held, and the map neither restarts nor reports.
    if (event.isAutoRepeat())
        return !names.empty();
    KeyModifiers held = canvas.heldModifiers();
    if (applyModifierKey(event.key(), true, held))
        canvas.setHeldModifiers(held);
    canvas.keysPressed(characters(event), names);
    return !names.empty();
}

bool CanvasInput::keyReleased(MapCanvasView& canvas, QKeyEvent& event)
{
    const std::vector<std::string> names = motionNames(event);
    if (event.isAutoRepeat())
        return !names.empty();
    KeyModifiers held = canvas.heldModifiers();
    if (applyModifierKey(event.key(), false, held))
        canvas.setHeldModifiers(held);
    if (names.empty())
        return false;
    canvas.keysReleased(names, false);
    return true;
}

bool CanvasInput::mousePressed(MapCanvasView& canvas, QMouseEvent& event)
{
    if (fromTouchScreen(event))
        return false;
    // Whatever the press turns out to be (a click, a drag, a hold), the hand is on the map.
    canvas.touchBegan();
    const qint64 time = static_cast<qint64>(event.timestamp());
    if (event.button() == Qt::LeftButton) {
        leftDown_ = true;
        mouse_.reset(event.position(), time);
        return true;
    }
    if (event.button() == Qt::RightButton) {
        rightDown_ = true;
        rightMouse_.reset(event.position(), time);
        return true;
    }
    return false;
}

bool CanvasInput::mouseMoved(MapCanvasView& canvas, QMouseEvent& event)
{
    if (fromTouchScreen(event))
        return false;
    if (!leftDown_) {
        if (event.buttons() == Qt::NoButton)
            canvas.hover({event.position().x(), event.position().y()});
        return false;
    }
    const QPointF position = event.position();
    const qint64 time = static_cast<qint64>(event.timestamp());
    if (!mouse_.dragging && length(position - mouse_.start) > kDragStartPoints)
        beginDrag(canvas, mouse_, modifiers(event.modifiers()));
    if (mouse_.dragging)
        dragMoved(canvas, mouse_, position, position, time, modifiers(event.modifiers()));
    return true;
}

bool CanvasInput::mouseReleased(MapCanvasView& canvas, QMouseEvent& event)
{
    if (fromTouchScreen(event))
        return false;
    const QPointF position = event.position();
    const qint64 time = static_cast<qint64>(event.timestamp());
    const KeyModifiers flags = modifiers(event.modifiers());
    if (event.button() == Qt::LeftButton && leftDown_) {
        leftDown_ = false;
        if (mouse_.dragging)
            endDrag(canvas, mouse_, position, mouse_.velocity(position, time), flags);
        else if (!doubleClicked_ && time - mouse_.startTime < kHoldMilliseconds)
            deferClick(point(position), flags);
        doubleClicked_ = false;
        return true;
    }
    if (event.button() == Qt::RightButton && rightDown_) {
        rightDown_ = false;
        if (length(position - rightMouse_.start) <= kDragStartPoints
            && time - rightMouse_.startTime < kHoldMilliseconds)
            canvas.twoFingerClick(point(position), flags);
        return true;
    }
    return false;
}

bool CanvasInput::mouseDoubleClicked(MapCanvasView& canvas, QMouseEvent& event)
{
    if (fromTouchScreen(event))
        return false;
    // The second press of a double click arrives as the double click itself.
    if (event.button() != Qt::LeftButton)
        return mousePressed(canvas, event);
    canvas.touchBegan();
    clickTimer_.stop();
    pendingClick_.reset();
    leftDown_ = true;
    doubleClicked_ = true;
    mouse_.reset(event.position(), static_cast<qint64>(event.timestamp()));
    canvas.doubleClick(point(event.position()));
    return true;
}

bool CanvasInput::wheel(MapCanvasView& canvas, QWheelEvent& event)
{
    const QPointF location = event.position();
    const KeyModifiers flags = modifiers(event.modifiers());
    const qint64 time = static_cast<qint64>(event.timestamp());
    switch (event.phase()) {
    case Qt::NoScrollPhase:
        // A mouse wheel's steps: only the angle counts.
        if (event.angleDelta().y() != 0)
            canvas.wheelNotches(event.angleDelta().y() / kWheelNotchAngle, point(location));
        return true;
    case Qt::ScrollBegin:
        beginScroll(canvas, time, flags);
        return true;
    case Qt::ScrollUpdate:
        if (!scroll_.dragging)
            beginScroll(canvas, time, flags);
        scrollTranslation_ += QPointF(event.pixelDelta());
        dragMoved(canvas, scroll_, scrollTranslation_, location, time, flags);
        return true;
    case Qt::ScrollMomentum:
    case Qt::ScrollEnd:
        // The canvas glides on by itself once the fingers leave the trackpad.
        if (scroll_.dragging)
            endDrag(canvas, scroll_, scrollTranslation_, scroll_.velocity(scrollTranslation_, time), flags);
        return true;
    }
    return false;
}

void CanvasInput::beginScroll(MapCanvasView& canvas, qint64 time, KeyModifiers flags)
{
    scrollTranslation_ = {};
    scroll_.reset(scrollTranslation_, time);
    beginDrag(canvas, scroll_, flags);
}

bool CanvasInput::nativeGesture(MapCanvasView& canvas, QNativeGestureEvent& event)
{
    const Camera::Point location = point(event.position());
    const KeyModifiers flags = modifiers(event.modifiers());
    switch (event.gestureType()) {
    case Qt::BeginNativeGesture:
        beginPinch(canvas, flags);
        return true;
    case Qt::ZoomNativeGesture:
        if (!pinching_)
            beginPinch(canvas, flags);
        pinchScale_ *= 1 + event.value();
        canvas.noteGesture("pincer", Phase::changed, flags, GestureJournal::pinchDetail(pinchScale_));
        canvas.pinchChanged(pinchScale_, location);
        return true;
    case Qt::RotateNativeGesture:
        if (!pinching_)
            beginPinch(canvas, flags);
        if (!pinchRotated_) {
            pinchRotated_ = true;
            canvas.noteGesture("pivoter", Phase::began, flags, GestureJournal::rotationDetail(0));
        }
        // Degrees counter-clockwise; the canvas turns with clockwise radians.
        pinchRotation_ -= event.value() * std::numbers::pi / 180;
        canvas.noteGesture("pivoter", Phase::changed, flags, GestureJournal::rotationDetail(pinchRotation_));
        canvas.rotationChanged(pinchRotation_, location);
        return true;
    case Qt::EndNativeGesture:
        if (pinching_)
            endPinch(canvas, flags);
        return true;
    default:
        return false;
    }
}

void CanvasInput::beginPinch(MapCanvasView& canvas, KeyModifiers flags)
{
    pinching_ = true;
    pinchScale_ = 1;
    pinchRotation_ = 0;
    pinchRotated_ = false;
    canvas.noteGesture("pincer", Phase::began, flags, GestureJournal::pinchDetail(1));
    canvas.pinchBegan();
}

void CanvasInput::endPinch(MapCanvasView& canvas, KeyModifiers flags)
{
    pinching_ = false;
    canvas.noteGesture("pincer", Phase::ended, flags, GestureJournal::pinchDetail(pinchScale_));
    if (pinchRotated_)
        canvas.noteGesture("pivoter", Phase::ended, flags, GestureJournal::rotationDetail(pinchRotation_));
    canvas.rotationEnded();
    canvas.gestureEnded();
}

QPointF CanvasInput::localPosition(const QEventPoint& point) const
{
    // From the screen position, which every route of delivery sets.
    return target_->mapFromGlobal(point.globalPosition());
}

bool CanvasInput::touch(MapCanvasView& canvas, QTouchEvent& event)
{
    event.accept();
    const qint64 time = static_cast<qint64>(event.timestamp());
    const KeyModifiers flags = modifiers(event.modifiers());
    if (event.type() == QEvent::TouchBegin) {
        canvas.touchBegan();
        target_->setFocus(Qt::MouseFocusReason);
        twoFingers_.reset();
        touchHadTwoFingers_ = false;
        if (!event.points().empty())
            finger_.reset(localPosition(event.points().front()), time);
    }
    std::vector<QPointF> down;
    for (const QEventPoint& p : event.points())
        if (p.state() != QEventPoint::Released)
            down.push_back(localPosition(p));
    if (event.type() == QEvent::TouchCancel) {
        if (finger_.dragging)
            endDrag(canvas, finger_, finger_.recent.back().first, {}, flags);
        if (twoFingers_)
            endTwoFingers(canvas, flags);
        return true;
    }

    if (down.size() >= 2) {
        if (twoFingers_) {
            twoFingersChanged(canvas, down[0], down[1], flags);
            return true;
        }
        // A second finger ends a one-finger drag where it is.
        if (finger_.dragging)
            endDrag(canvas, finger_, finger_.recent.back().first, {}, flags);
        const QPointF between = down[1] - down[0];
        twoFingers_ = TwoFingers{length(between), std::atan2(between.y(), between.x()), (down[0] + down[1]) / 2, false,
            time, {}, 1, 0};
        touchHadTwoFingers_ = true;
        // Two fingers tilt, pinch and turn at once, each with its own lines.
        canvas.noteGesture("incliner", Phase::began, flags, GestureJournal::panDetail(0, 0));
        canvas.noteGesture("pincer", Phase::began, flags, GestureJournal::pinchDetail(1));
        canvas.noteGesture("pivoter", Phase::began, flags, GestureJournal::rotationDetail(0));
        canvas.pinchBegan();
        return true;
    }
    if (twoFingers_) {
        const bool tapped = !twoFingers_->moved && time - twoFingers_->startTime < kHoldMilliseconds;
        const Camera::Point centre = point(twoFingers_->startCentre);
        endTwoFingers(canvas, flags);
        if (tapped)
            canvas.twoFingerClick(centre, flags);
        return true;
    }
    if (touchHadTwoFingers_)
        return true;

    if (down.size() == 1) {
        const QPointF position = down.front();
        if (!finger_.dragging && length(position - finger_.start) > kDragStartPoints)
            beginDrag(canvas, finger_, flags);
        if (finger_.dragging)
            dragMoved(canvas, finger_, position, position, time, flags);
        return true;
    }
    if (event.type() != QEvent::TouchEnd || event.points().empty())
        return true;
    const QPointF position = localPosition(event.points().front());
    if (finger_.dragging) {
        endDrag(canvas, finger_, position, finger_.velocity(position, time), flags);
    } else if (time - finger_.startTime < kHoldMilliseconds) {
        const bool secondTap = lastTap_ && time - lastTap_->second < doubleClickMilliseconds()
            && length(position - lastTap_->first) <= kDragStartPoints;
        if (secondTap) {
            clickTimer_.stop();
            pendingClick_.reset();
            lastTap_.reset();
            canvas.doubleClick(point(position));
        } else {
            lastTap_ = std::pair{position, time};
            deferClick(point(position), flags);
        }
    }
    return true;
}

void CanvasInput::twoFingersChanged(MapCanvasView& canvas, QPointF first, QPointF second, KeyModifiers flags)
{
    TwoFingers& fingers = *twoFingers_;
    const QPointF between = second - first;
    const QPointF centre = (first + second) / 2;
    const double spread = length(between);
    const double scale = fingers.startSpread > 0 ? spread / fingers.startSpread : 1;
    const double rotation
        = std::remainder(std::atan2(between.y(), between.x()) - fingers.startAngle, 2 * std::numbers::pi);
    const QPointF translation = centre - fingers.startCentre;
    if (length(translation) > kDragStartPoints || std::abs(spread - fingers.startSpread) > kDragStartPoints
        || std::abs(rotation) * spread / 2 > kDragStartPoints)
        fingers.moved = true;
    fingers.translation = translation;
    fingers.scale = scale;
    fingers.rotation = rotation;
    canvas.noteGesture("incliner", Phase::changed, flags, GestureJournal::panDetail(translation.x(), translation.y()));
    canvas.tiltChanged(point(translation), scale);
    canvas.noteGesture("pincer", Phase::changed, flags, GestureJournal::pinchDetail(scale));
    canvas.pinchChanged(scale, point(centre));
    canvas.noteGesture("pivoter", Phase::changed, flags, GestureJournal::rotationDetail(rotation));
    canvas.rotationChanged(rotation, point(centre));
}

void CanvasInput::endTwoFingers(MapCanvasView& canvas, KeyModifiers flags)
{
    const TwoFingers fingers = *twoFingers_;
    twoFingers_.reset();
    canvas.noteGesture("incliner", Phase::ended, flags,
        GestureJournal::panDetail(fingers.translation.x(), fingers.translation.y()));
    canvas.tiltEnded();
    canvas.noteGesture("pincer", Phase::ended, flags, GestureJournal::pinchDetail(fingers.scale));
    canvas.noteGesture("pivoter", Phase::ended, flags, GestureJournal::rotationDetail(fingers.rotation));
    canvas.rotationEnded();
    canvas.gestureEnded();
}

void CanvasInput::beginDrag(MapCanvasView& canvas, Track& track, KeyModifiers flags)
{
    track.dragging = true;
    canvas.noteGesture("glisser", Phase::began, flags, GestureJournal::panDetail(0, 0));
    canvas.dragBegan();
}

void CanvasInput::dragMoved(MapCanvasView& canvas, Track& track, QPointF position, QPointF location, qint64 time,
    KeyModifiers flags)
{
    track.add(position, time);
    const QPointF translation = position - track.start;
    canvas.noteGesture("glisser", Phase::changed, flags, GestureJournal::panDetail(translation.x(), translation.y()));
    canvas.dragChanged(point(translation), point(location), flags);
}

void CanvasInput::endDrag(MapCanvasView& canvas, Track& track, QPointF position, Camera::Point velocity,
    KeyModifiers flags)
{
    track.dragging = false;
    const QPointF translation = position - track.start;
    canvas.noteGesture("glisser", Phase::ended, flags, GestureJournal::panDetail(translation.x(), translation.y()));
    canvas.dragEnded(velocity);
}

qint64 CanvasInput::doubleClickMilliseconds()
{
    return QGuiApplication::styleHints()->mouseDoubleClickInterval();
}

void CanvasInput::deferClick(Camera::Point location, KeyModifiers flags)
{
    pendingClick_ = PendingClick{location, flags};
    clickTimer_.start(static_cast<int>(doubleClickMilliseconds()));
}

void CanvasInput::firePendingClick()
{
    const auto canvas = canvas_.lock();
    if (!canvas || !pendingClick_)
        return;
    const PendingClick click = *pendingClick_;
    pendingClick_.reset();
    canvas->click(click.location, click.modifiers);
}

} // namespace velorin
