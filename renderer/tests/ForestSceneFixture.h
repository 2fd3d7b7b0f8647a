#pragma once

#include "FakeForestService.h"
#include "ScenePreparationFixture.h"

#include "renderer/TileCover.h"

#include <memory>

// The synthetic hills seen from close by, where trees and the canopy show, with a forest
// source that the test fills.
class ForestScene : public ScenePreparation {
protected:
    std::shared_ptr<testing_support::FakeForestService> forest = std::make_shared<testing_support::FakeForestService>();

    // Rolling hills, which the eye of a close view stays above.
    ForestScene() { hillsAmplitudeMeters = 250; }

    void SetUp() override
    {
        renderer = MapRenderer::make(*context, library, velorin::SheetCatalog{}, nullptr, Camera{}, nullptr, forest, nullptr);
        ScenePreparation::SetUp();
        renderer->camera = closeUp(kValley, 0.5);
        provideElevation(renderer->camera);
    }

    // Close enough for trees: about a metre a pixel.
    static Camera closeUp(WorldPoint center, double bearing)
    {
        Camera camera = pitched(center, bearing);
        camera.zoom = 16.5;
        return camera;
    }

    // The zoom-15 tiles within the canopy's reach of the eye.
    std::vector<velorin::ForestService::Key> canopyKeys() const
    {
        const WorldPoint eye = renderer->eyePosition(renderer->camera).ground;
        const double d = MapRenderer::kCanopyReachMeters / eye.metersPerWorldUnit();
        return velorin::tileCover({eye.x - d, eye.y - d, eye.x + d, eye.y + d});
    }
};
