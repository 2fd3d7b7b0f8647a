#pragma once

#include "canvas/CanvasWindow.h"
#include "canvas/qt/CanvasOverlayHost.h"
#include "canvas/qt/DisplayLink.h"
#include "platform/Clock.h"

#include <memory>

namespace gpu {
class Context;
class RenderTarget;
} // namespace gpu

class QWidget;

namespace velorin {

class MapCanvasView;

// A map window without a screen, for command-line snapshots and films: a fixed size, frames
// drawn into an offscreen target of a headless context, a display link at 60 Hz, and a
// hidden widget of the same size that holds the overlay views (labels, markers) that
// snapshots and films draw. Main thread only.
class HeadlessCanvasWindow final : public CanvasWindow {
public:
    static constexpr Camera::Size kBoundsInPoints {1280, 800};

    HeadlessCanvasWindow(gpu::Context& context, std::shared_ptr<platform::Clock> clock);
    ~HeadlessCanvasWindow() override;

    // The canvas that the display link steps and whose renderer draws.
    void setCanvas(std::weak_ptr<MapCanvasView> canvas);

    Camera::Size boundsInPoints() const override { return kBoundsInPoints; }
    double screenScale() const override { return 1; }
    void draw() override;
    void startDisplayLink() override;
    void stopDisplayLink() override;
    void setPreferredFrameRate(std::optional<double> hertz) override;
    CanvasOverlays* overlays() override { return overlays_.get(); }
    void drawOverlays(platform::Image& image, double scale) override;

private:
    gpu::Context& context_;
    std::unique_ptr<QWidget> container_;
    std::unique_ptr<CanvasOverlayHost> overlays_;
    std::weak_ptr<MapCanvasView> canvas_;
    std::unique_ptr<gpu::RenderTarget> target_;
    DisplayLink displayLink_;
};

} // namespace velorin
