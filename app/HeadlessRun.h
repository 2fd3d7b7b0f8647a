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

// The command-line snapshot run ("-startAt … -snapshotTo out.jpg"): a map canvas over
// the model's services and map options, drawn off screen, that writes its JPEG 30 s after the view is set
// and then ends the program. Main thread only.
class HeadlessSnapshot {
public:
    // Whether the arguments ask for a snapshot: "-snapshotTo" with a path, and a view.
    static bool isRequested(const std::vector<std::string>& arguments);

    // Starts the run over a ready model; throws gpu::GpuError when no headless context
    // can be made, and std::runtime_error when the renderer cannot be built.
    HeadlessSnapshot(AppModel& model, MapCanvasView::Environment environment);

private:
    std::unique_ptr<gpu::Context> context_;
    gpu::ShaderLibrary library_;
    HeadlessCanvasWindow window_;
    std::shared_ptr<MapCanvasView> canvas_;
};

} // namespace velorin
