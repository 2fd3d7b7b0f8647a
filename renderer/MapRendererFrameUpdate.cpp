#include "renderer/MapRenderer.h"

#include "map-data/TileLoader.h"

namespace velorin {

void MapRenderer::updateFrame(double now)
{
    publishTileSettings();
    if (heldFlightScene && heldFlightScene->camera == camera)
        heldFlightScene->restore(*this);
    if (preparedFlightCamera && *preparedFlightCamera == camera)
        return;
    heldFlightScene.reset();
    preparedFlightOrder.reset();
    preparedFlightSky.reset();
    prepareScene(now);
    if (!loader_)
        return;
    std::vector<TileKey> wanted;
    wanted.reserve(desired.size() + lowPriority.size());
    wanted.insert(wanted.end(), desired.begin(), desired.end());
    wanted.insert(wanted.end(), lowPriority.begin(), lowPriority.end());
    loader_->setDesired(std::move(wanted));
}

} // namespace velorin
