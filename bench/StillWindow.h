#pragma once

#include "canvas/CanvasWindow.h"

#include <optional>

namespace bench_canvas {

// A window of 1280 × 800 points at scale 2 that draws nothing: the canvas's frames are
// stepped by hand.
struct StillWindow final : velorin::CanvasWindow {
    velorin::Camera::Size boundsInPoints() const override { return {1280, 800}; }
    double screenScale() const override { return 2; }
    void draw() override { }
    void startDisplayLink() override { }
    void stopDisplayLink() override { }
    void setPreferredFrameRate(std::optional<double>) override { }
};

} // namespace bench_canvas
