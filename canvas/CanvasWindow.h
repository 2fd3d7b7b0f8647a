#pragma once

#include "platform/Image.h"
#include "platform/MapView.h"
#include "renderer/Camera.h"

#include <memory>
#include <optional>

namespace velorin {

class CanvasOverlays;

// The window that the map canvas draws into: its size, its screen's scale, drawing on
// request and the display link that paces frames. The Qt host implements it over a
// QOpenGLWidget; tests implement it with a fake surface over an offscreen context. GUI
// thread only; it outlives the canvas that uses it.
class CanvasWindow {
public:
    virtual ~CanvasWindow() = default;

    // The view's bounds in points.
    virtual Camera::Size boundsInPoints() const = 0;
    // Device pixels per point of the window's screen (the primary screen's without one).
    virtual double screenScale() const = 0;
    // Draws one frame now: the host makes its context current, runs the renderer's frame
    // update and calls its draw callback with the view's pixel size and its framebuffer.
    virtual void draw() = 0;
    // Starts calling `MapCanvasView::step` once per screen refresh, until stopped.
    virtual void startDisplayLink() = 0;
    virtual void stopDisplayLink() = 0;
    // The display link's rate in frames a second, or the screen's own when none; a flight
    // played back at a steady 60 Hz asks for it.
    virtual void setPreferredFrameRate(std::optional<double> hertz) = 0;
    // What the window shows over the map (labels, hover card, markers); none for a window
    // that shows nothing over it.
    virtual CanvasOverlays* overlays() { return nullptr; }
    // A 2D map laid over the window's whole area, under everything else it shows, taking
    // the pointer while it stands; none where the window hosts no map.
    virtual std::shared_ptr<platform::MapView> makeMapView(const platform::MapViewSetup&) { return nullptr; }
    // The window as shown on screen, at `scale` times its pixel size; none where it cannot
    // be read.
    virtual std::optional<platform::Image> grabView(double) { return std::nullopt; }
    // Paints what the window shows over the map (its visible overlay views, the hover card
    // left out) into `image`, a frame of the map, `scale` image pixels a view point.
    virtual void drawOverlays(platform::Image& /*image*/, double /*scale*/) {}
};

} // namespace velorin
