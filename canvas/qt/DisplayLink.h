#pragma once

#include "platform/Clock.h"

#include <QTimer>

#include <memory>
#include <optional>

namespace velorin {

class MapCanvasView;

// Paces a canvas's frames with a Qt timer. A timer is not locked to the screen and a slow
// renderer skips ticks, so each tick steps the canvas by the time that really passed since
// the previous one (at most kMaxFrameSeconds, so that a stall does not jump the map; the
// first tick after a start takes one refresh period). Stands in for the screen's refresh
// callback in the map window and in the headless snapshot window. GUI thread only.
class DisplayLink {
public:
    static constexpr double kDefaultRefreshHertz = 60;
    static constexpr double kMaxFrameSeconds = 0.1;

    explicit DisplayLink(std::shared_ptr<platform::Clock> clock);

    // The canvas that each tick steps; ticks do nothing once it is gone.
    void setCanvas(std::weak_ptr<MapCanvasView> canvas) { canvas_ = std::move(canvas); }
    // Ticks this often a second; a rate that is not a positive finite number keeps 60 Hz.
    void setRefreshRate(double hertz);
    double frameSeconds() const { return frameSeconds_; }

    void start();
    void stop();
    bool isActive() const { return timer_.isActive(); }
    // One frame, at the clock's time; the timer calls it.
    void tick();

private:
    std::shared_ptr<platform::Clock> clock_;
    std::weak_ptr<MapCanvasView> canvas_;
    double frameSeconds_ = 1 / kDefaultRefreshHertz;
    QTimer timer_;
    // The clock's time at the previous tick since the start.
    std::optional<double> previousTick_;
};

} // namespace velorin
