#pragma once

#include "canvas/KeyModifiers.h"
#include "renderer/Camera.h"

#include <QObject>
#include <QPointF>
#include <QTimer>

#include <deque>
#include <memory>
#include <optional>
#include <utility>

class QEvent;
class QEventPoint;
class QKeyEvent;
class QMouseEvent;
class QNativeGestureEvent;
class QTouchEvent;
class QWheelEvent;
class QWidget;

namespace velorin {

class MapCanvasView;

// Turns the keyboard, mouse, wheel, trackpad and touch events of the map's widget into
// the canvas's keys, drags, clicks, pinches and turns. It installs itself as an event
// filter on its widget and lives as long as the widget. GUI thread only.
class CanvasInput : public QObject {
    Q_OBJECT
public:
    // A press held this long is not a click.
    static constexpr qint64 kHoldMilliseconds = 500;
    // Pointer movement before a press becomes a drag, in points.
    static constexpr double kDragStartPoints = 10;
    // Wheel angle per notch, in eighths of a degree.
    static constexpr double kWheelNotchAngle = 120;
    // A drag's velocity at its end counts the moves of this last stretch of time.
    static constexpr qint64 kVelocityWindowMilliseconds = 100;

    // Filters `target`'s events from now on and is owned by it: the host only writes
    // `new CanvasInput(canvas, widget)`. The widget takes the keyboard focus on clicks and
    // tabs, and accepts touch events.
    CanvasInput(std::weak_ptr<MapCanvasView> canvas, QWidget* target);

    // The modifiers of an event as the canvas names them: Control, Alt as Option, Shift,
    // and the Super (Meta) key as Command.
    static KeyModifiers modifiers(Qt::KeyboardModifiers flags);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A moving pointer or finger: where it went down, where it is, and its recent moves
    // for the velocity a drag ends with.
    struct Track {
        QPointF start;
        qint64 startTime = 0;
        bool dragging = false;
        std::deque<std::pair<QPointF, qint64>> recent;

        void reset(QPointF position, qint64 time);
        void add(QPointF position, qint64 time);
        // Points per second over the last moves up to `time`.
        Camera::Point velocity(QPointF position, qint64 time) const;
    };
    // Two fingers on a touch screen: their first spread, angle and centre.
    struct TwoFingers {
        double startSpread = 0;
        double startAngle = 0;
        QPointF startCentre;
        // Set once they moved, spread or turned further than a drag's start.
        bool moved = false;
        qint64 startTime = 0;
        // Where they stood at their last move, for the journal's closing lines.
        QPointF translation;
        double scale = 1;
        double rotation = 0;
    };
    struct PendingClick {
        Camera::Point location;
        KeyModifiers modifiers;
    };

    bool keyPressed(MapCanvasView& canvas, QKeyEvent& event);
    bool keyReleased(MapCanvasView& canvas, QKeyEvent& event);
    bool mousePressed(MapCanvasView& canvas, QMouseEvent& event);
    bool mouseMoved(MapCanvasView& canvas, QMouseEvent& event);
    bool mouseReleased(MapCanvasView& canvas, QMouseEvent& event);
    bool mouseDoubleClicked(MapCanvasView& canvas, QMouseEvent& event);
    bool wheel(MapCanvasView& canvas, QWheelEvent& event);
    bool nativeGesture(MapCanvasView& canvas, QNativeGestureEvent& event);
    bool touch(MapCanvasView& canvas, QTouchEvent& event);
    QPointF localPosition(const QEventPoint& point) const;

    // A drag of the mouse, a finger or the trackpad's scrolling; `position` is in the
    // track's own coordinates (the pointer's, or the scrolled distance), `location` where
    // the pointer is.
    void beginDrag(MapCanvasView& canvas, Track& track, KeyModifiers flags);
    void dragMoved(MapCanvasView& canvas, Track& track, QPointF position, QPointF location, qint64 time,
        KeyModifiers flags);
    void endDrag(MapCanvasView& canvas, Track& track, QPointF position, Camera::Point velocity, KeyModifiers flags);
    void beginScroll(MapCanvasView& canvas, qint64 time, KeyModifiers flags);
    void beginPinch(MapCanvasView& canvas, KeyModifiers flags);
    void endPinch(MapCanvasView& canvas, KeyModifiers flags);
    void twoFingersChanged(MapCanvasView& canvas, QPointF first, QPointF second, KeyModifiers flags);
    void endTwoFingers(MapCanvasView& canvas, KeyModifiers flags);
    static qint64 doubleClickMilliseconds();
    // A click waits out the double-click interval, so that a double click is not also a click.
    void deferClick(Camera::Point location, KeyModifiers flags);
    void firePendingClick();

    std::weak_ptr<MapCanvasView> canvas_;
    QWidget* target_;
    Track mouse_;
    bool leftDown_ = false;
    bool doubleClicked_ = false;
    Track rightMouse_;
    bool rightDown_ = false;
    Track scroll_;
    QPointF scrollTranslation_;
    bool pinching_ = false;
    double pinchScale_ = 1;
    double pinchRotation_ = 0;
    // The trackpad's pinch has turned the map: its rotation has begun in the journal.
    bool pinchRotated_ = false;
    Track finger_;
    std::optional<TwoFingers> twoFingers_;
    bool touchHadTwoFingers_ = false;
    std::optional<std::pair<QPointF, qint64>> lastTap_;
    std::optional<PendingClick> pendingClick_;
    QTimer clickTimer_;
};

} // namespace velorin
