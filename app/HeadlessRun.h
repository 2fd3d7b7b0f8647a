#pragma once

#include "app/HeadlessCanvasWindow.h"
#include "canvas/MapCanvasView.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/ShaderLibrary.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velorin {

class AppModel;
class CanvasPortAdapter;

// The command-line automation without a display: a map canvas over the model's services and
// map options, drawn off screen, that writes a snapshot ("-startAt … -snapshotTo out.jpg")
// or films a travel or a flight ("-filmTo out.mp4"), then ends the program. The model
// drives it as its canvas. Main thread only.
class HeadlessRun {
public:
    // Whether the arguments ask for output: "-snapshotTo" with a path and a view, or "-filmTo"
    // with a path and a view or a track to film ("-filmTrack").
    static bool isRequested(const std::vector<std::string>& arguments);

    // Starts the run over a ready model; throws gpu::GpuError when no headless context
    // can be made, and std::runtime_error when the renderer cannot be built.
    HeadlessRun(AppModel& model, MapCanvasView::Environment environment);

private:
    std::unique_ptr<gpu::Context> context_;
    gpu::ShaderLibrary library_;
    HeadlessCanvasWindow window_;
    std::shared_ptr<MapCanvasView> canvas_;
    std::shared_ptr<CanvasPortAdapter> port_;
};

} // namespace velorin
