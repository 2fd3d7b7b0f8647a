#pragma once

#include "canvas/MapCanvasView.h"
#include "platform/gpu/ShaderLibrary.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace velorin {

class AppModel;
class MapCanvasPort;
class MapCanvasWidget;

// Puts the map canvas on the main screen: once the window's OpenGL context exists it
// builds the canvas from the model's services, wires the canvas's reports back to the
// model, hands the model a weak reference to the canvas and pushes the model's current
// map options, track, photos and position into it. After that it is passive. GUI thread only; a ready
// model (catalogue and loader built) must outlive the screen.
class MapContainer : public QWidget {
public:
    MapContainer(AppModel& model, MapCanvasView::Environment environment, QWidget* parent = nullptr);
    ~MapContainer() override;

    MapCanvasWidget& canvasWidget() const { return *widget_; }
    // Empty until the window's context exists, and after a failure.
    std::shared_ptr<MapCanvasView> canvas() const;

    // Sets the canvas's reports to act on the model; each does nothing once the model is
    // gone.
    static void wireCallbacks(MapCanvasView& canvas, QPointer<AppModel> model);

private:
    std::shared_ptr<MapCanvasView> makeCanvas(CanvasWindow& window, gpu::Context& context);
    // The model's map options, then the model's weak reference to the canvas, then the
    // track on the map and the photo pins.
    void pushModelState(MapCanvasPort& port);
    // The device position, when one is known.
    void pushPosition(MapCanvasPort& port);

    AppModel& model_;
    MapCanvasView::Environment environment_;
    gpu::ShaderLibrary shaders_;
    MapCanvasWidget* widget_;
    // What the model drives of the canvas; the model holds it weakly.
    std::shared_ptr<MapCanvasPort> port_;
};

} // namespace velorin
