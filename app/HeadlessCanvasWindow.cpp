#include "app/HeadlessCanvasWindow.h"

#include "canvas/MapCanvasView.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/RenderTarget.h"

namespace velorin {

HeadlessCanvasWindow::HeadlessCanvasWindow(gpu::Context& context, std::shared_ptr<platform::Clock> clock)
    : context_(context)
    , clock_(std::move(clock))
{
    timer_.setInterval(kFrameIntervalMilliseconds);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (auto canvas = canvas_.lock()) {
            const double now = clock_->now();
            canvas->step(now, now + kFrameIntervalMilliseconds / 1000.0);
        }
    });
}

HeadlessCanvasWindow::~HeadlessCanvasWindow() = default;

void HeadlessCanvasWindow::draw()
{
    auto canvas = canvas_.lock();
    if (!canvas)
        return;
    context_.makeCurrent();
    if (!target_)
        target_ = std::make_unique<gpu::RenderTarget>(
            context_, int(kBoundsInPoints.width), int(kBoundsInPoints.height));
    MapRenderer& renderer = canvas->renderer();
    renderer.updateFrame(clock_->now());
    renderer.draw(kBoundsInPoints, target_->framebuffer());
    context_.drainDeletions();
}

void HeadlessCanvasWindow::startDisplayLink()
{
    timer_.start();
}

void HeadlessCanvasWindow::stopDisplayLink()
{
    timer_.stop();
}

} // namespace velorin
