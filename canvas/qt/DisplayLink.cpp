#include "canvas/qt/DisplayLink.h"

#include "canvas/MapCanvasView.h"

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
    timer_.start();
}

void DisplayLink::stop()
{
    timer_.stop();
}

void DisplayLink::tick()
{
    if (auto canvas = canvas_.lock()) {
        const double now = clock_->now();
        canvas->step(now, now + frameSeconds_);
    }
}

} // namespace velorin
