#include "canvas/qt/DisplayLink.h"

#include "canvas/MapCanvasView.h"

#include <algorithm>
#include <cmath>

namespace velorin {

DisplayLink::DisplayLink(std::shared_ptr<platform::Clock> clock)
    : clock_(std::move(clock))
{
    timer_.setTimerType(Qt::PreciseTimer);
    setRefreshRate(kDefaultRefreshHertz);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

void DisplayLink::setRefreshRate(double hertz)
{
    if (!std::isfinite(hertz) || hertz <= 0)
        hertz = kDefaultRefreshHertz;
    frameSeconds_ = 1 / hertz;
    timer_.setInterval(std::max(1, int(std::lround(frameSeconds_ * 1000))));
}

void DisplayLink::start()
{
    previousTick_.reset();
    timer_.start();
}

void DisplayLink::stop()
{
    timer_.stop();
}

void DisplayLink::tick()
{
    const double now = clock_->now();
    const double elapsed = previousTick_ ? std::clamp(now - *previousTick_, 0.0, kMaxFrameSeconds) : frameSeconds_;
    previousTick_ = now;
    if (auto canvas = canvas_.lock())
        canvas->step(now - elapsed, now);
}

} // namespace velorin
