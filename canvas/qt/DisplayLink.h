#pragma once

#include "platform/Clock.h"

#include <QTimer>

#include <memory>

namespace velorin {

class MapCanvasView;

// Paces a canvas's frames with a Qt timer: each tick steps the canvas with the clock's
// time and the time the next tick is due. Stands in for the screen's refresh callback in
// the map window and in the headless snapshot window. GUI thread only.
class DisplayLink {
public:
    static constexpr double kDefaultRefreshHertz = 60;

    explicit DisplayLink(std::shared_ptr<platform::Clock> clock);

    // The canvas that each tick steps; ticks do nothing once it is gone.
    void setCanvas(std::weak_ptr<MapCanvasView> canvas) { canvas_ = std::move(canvas); }
    // Ticks this often a second; a rate that is not a positive finite number keeps 60 Hz.
    void setRefreshRate(double hertz);
    double frameSeconds() const { return frameSeconds_; }

    void start();
    void stop();
    bool isActive() const { return timer_.isActive(); }

private:
    void tick();

    std::shared_ptr<platform::Clock> clock_;
    std::weak_ptr<MapCanvasView> canvas_;
    double frameSeconds_ = 1 / kDefaultRefreshHertz;
    QTimer timer_;
};

} // namespace velorin
