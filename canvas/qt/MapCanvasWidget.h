#pragma once

#include "canvas/CanvasWindow.h"
#include "canvas/qt/DisplayLink.h"
#include "platform/Clock.h"

#include <QOpenGLWidget>
#include <QPointer>
#include <QSurfaceFormat>

#include <functional>
#include <memory>
#include <string>

namespace gpu {
class Context;
}

namespace velorin {

class CanvasInput;
class CanvasOverlayHost;
class MapCanvasView;

// The map's window on screen: an OpenGL widget whose context the canvas adopts, that
// draws the canvas's frames into its framebuffer and paces them with the screen's
// refresh rate, with the markers, the place names and their card over it. The canvas itself is built
// by the widget's owner once the context exists, and lives with the context. GUI thread only.
class MapCanvasWidget final : public QOpenGLWidget, public CanvasWindow {
    Q_OBJECT

public:
    // Builds the canvas in the adopted context, current at the time; nothing when the
    // renderer cannot be made.
    using CanvasFactory = std::function<std::shared_ptr<MapCanvasView>(CanvasWindow&, gpu::Context&)>;

    // What the map draws with: OpenGL 3.3 core or later, with a depth buffer.
    static QSurfaceFormat surfaceFormat();

    MapCanvasWidget(std::shared_ptr<platform::Clock> clock, CanvasFactory makeCanvas, QWidget* parent = nullptr);
    ~MapCanvasWidget() override;

    // The canvas once the context is made; empty before and after a failure.
    const std::shared_ptr<MapCanvasView>& canvas() const { return canvas_; }
    // Called once, when the context is not usable or the canvas cannot be built, with
    // a French message.
    std::function<void(const std::string& message)> onFailure;

    Camera::Size boundsInPoints() const override;
    double screenScale() const override;
    void draw() override;
    void startDisplayLink() override;
    void stopDisplayLink() override;
    void setPreferredFrameRate(std::optional<double> hertz) override;
    CanvasOverlays* overlays() override;
    // The world map, lowest of the widget's children and as large as it.
    std::shared_ptr<platform::MapView> makeMapView(const platform::MapViewSetup& setup) override;
    std::optional<platform::Image> grabView(double scale) override;
    void drawOverlays(platform::Image& image, double scale) override;
    bool isDisplayLinkRunning() const { return displayLink_.isActive(); }
    // The markers, the labels and the hover card over the map.
    CanvasOverlayHost& overlayHost() const { return *overlays_; }

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    // A window hidden, minimised or closed is the desktop's background: the canvas stops its
    // frames and stores the view at once; shown again, it draws again.
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fail(const std::string& message);
    // Drops the canvas (which stores the view first, as the program quits) and the adopted
    // context while Qt's context is still current.
    void releaseContext();

    // The screen's refresh rate, or the one the canvas prefers.
    double refreshRate() const;

    CanvasFactory makeCanvas_;
    DisplayLink displayLink_;
    std::optional<double> preferredFrameRate_;
    std::unique_ptr<CanvasOverlayHost> overlays_;
    std::unique_ptr<gpu::Context> context_;
    std::shared_ptr<MapCanvasView> canvas_;
    // The keys, pointer and touches of this widget, carried to the canvas.
    QPointer<CanvasInput> input_;
};

} // namespace velorin
