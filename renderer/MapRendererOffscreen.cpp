// Frames that are not shown: the current scene rendered offscreen for snapshots and
// films, and scenes of future cameras prepared ahead for flights.

#include "renderer/MapRenderer.h"

#include "platform/gpu/GpuError.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/Sky.h"

namespace velorin {

std::unique_ptr<gpu::RenderTarget> MapRenderer::renderOffscreen(int width, int height)
{
    std::unique_ptr<gpu::RenderTarget> target;
    try {
        target = std::make_unique<gpu::RenderTarget>(context_, width, height);
    } catch (const gpu::GpuError&) {
        return nullptr;
    }
    const auto clear = Sky::clearColor(camera.pitch);
    encodeFrame(target->pass({float(clear[0]), float(clear[1]), float(clear[2]), float(clear[3])}));
    if (!frames_.waitUntilCompleted())
        return nullptr;
    return target;
}

MapRenderer::FlightScene MapRenderer::captureScene(const Camera& sceneCamera) const
{
    // Meshes and textures are shared with the live scene, never copied.
    struct Captured {
        std::vector<Draw> draws;
        std::vector<SolidVertex> sky;
        std::vector<SolidVertex> solids;
        std::vector<TreeDraw> trees;
        std::vector<BuildingDraw> buildings;
        FrameState frame;
        int sheetCount = 0;
    };
    auto captured = std::make_shared<Captured>();
    for (const Draw* draw : orderedDraws())
        captured->draws.push_back(*draw);
    captured->sky = skyVertices();
    captured->solids = solidVertices;
    captured->trees = treeDraws;
    captured->buildings = buildingDraws;
    captured->frame = frame;
    captured->sheetCount = visibleSheetCount;
    return FlightScene{sceneCamera, [sceneCamera, captured = std::shared_ptr<const Captured>(captured)](
                                        MapRenderer& renderer) {
        renderer.restoreScene(sceneCamera, captured->draws, captured->sky, captured->solids, captured->trees,
            captured->buildings, captured->frame, captured->sheetCount);
    }};
}

std::optional<MapRenderer::FlightScene> MapRenderer::flightScene(const Camera& flightCamera)
{
    const Camera liveCamera = camera;
    const SavedFrame live = savedFrame();
    std::optional<FlightScene> scene;
    if (flightReadiness(flightCamera))
        scene = captureScene(flightCamera);
    restoreFrameState(liveCamera, live);
    return scene;
}

} // namespace velorin
