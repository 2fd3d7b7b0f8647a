#include "app/HeadlessCanvasWindow.h"

#include "canvas/MapCanvasView.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/RenderTarget.h"

#include <QWidget>

namespace velorin {

HeadlessCanvasWindow::HeadlessCanvasWindow(gpu::Context& context, std::shared_ptr<platform::Clock> clock)
    : context_(context)
    , container_(std::make_unique<QWidget>())
    , displayLink_(std::move(clock))
{
    container_->resize(int(kBoundsInPoints.width), int(kBoundsInPoints.height));
    overlays_ = std::make_unique<CanvasOverlayHost>(*container_);
}

void HeadlessCanvasWindow::drawOverlays(platform::Image& image, double scale)
{
    overlays_->draw(image, scale);
}

HeadlessCanvasWindow::~HeadlessCanvasWindow() = default;

void HeadlessCanvasWindow::setCanvas(std::weak_ptr<MapCanvasView> canvas)
{
    canvas_ = canvas;
    displayLink_.setCanvas(std::move(canvas));
}

void HeadlessCanvasWindow::draw()
{
    auto canvas = canvas_.lock();
    if (!canvas)
        return;
    context_.makeCurrent();
    if (!target_)
        target_ = std::make_unique<gpu::RenderTarget>(
            context_, int(kBoundsInPoints.width), int(kBoundsInPoints.height));
    canvas->drawFrame(target_->framebuffer());
}

void HeadlessCanvasWindow::startDisplayLink()
{
    displayLink_.start();
}

void HeadlessCanvasWindow::setPreferredFrameRate(std::optional<double> hertz)
{
    displayLink_.setRefreshRate(hertz.value_or(DisplayLink::kDefaultRefreshHertz));
}

void HeadlessCanvasWindow::stopDisplayLink()
{
    displayLink_.stop();
}

} // namespace velorin
