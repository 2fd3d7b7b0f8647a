// The forest canopy under the photos: which tiles' canopy grids are kept as textures near
// the eye, and whether the canopy around it is complete.

#include "renderer/MapRenderer.h"

#include "renderer/TileCover.h"

#include <cstring>

namespace velorin {

bool MapRenderer::closeEnoughForTrees() const
{
    return camera.pitch > kMinTreePitchRadians && frame.frameHeightScale != 0
        && camera.center.metersPerPixel(camera.zoom) < kMaxTreeMetersPerPixel;
}

bool MapRenderer::canopyWanted() const
{
    return !showsTrees && forest_ && basemap != Basemap::top25 && closeEnoughForTrees();
}

bool MapRenderer::updateCanopyTextures()
{
    if (!canopyWanted())
        return false;
    const WorldPoint eye = eyePosition(camera).ground;
    const double d = kCanopyReachMeters / eye.metersPerWorldUnit();
    const auto keys = tileCover({eye.x - d, eye.y - d, eye.x + d, eye.y + d});
    if (keys.empty())
        return true;

    bool ready = true;
    const auto& grids = forest_->canopies();
    for (const ForestService::Key& key : keys) {
        if (const auto kept = canopyTextures.find(key); kept != canopyTextures.end()) {
            kept->second.lastUsed = frameNumber;
            continue;
        }
        const auto grid = grids.find(key);
        if (grid == grids.end()) {
            // A tile whose canopy failed does not hold the rest back; one still coming does.
            ready = ready && forest_->canopyFailed(key);
            continue;
        }
        const ForestService::Canopy& canopy = grid->second;
        // A tile without forest, or a grid that does not fill its square, has nothing to lift.
        if (canopy.side <= 0 || canopy.heights.size() != std::size_t(canopy.side) * std::size_t(canopy.side))
            continue;
        std::shared_ptr<gpu::Texture> texture;
        if (canopyUploads < kMaxCanopyUploadsPerFrame)
            texture = makeCanopyTexture(canopy.heights, canopy.side);
        if (!texture) {
            needsAnotherFrame = true;
            ready = false;
            continue;
        }
        ++canopyUploads;
        canopyTextures[key] = {std::move(texture), frameNumber};
    }
    if (canopyTextures.size() >= kCanopyTextureTrimCount) {
        std::erase_if(canopyTextures,
            [this](const auto& entry) { return frameNumber - entry.second.lastUsed >= kCanopyKeepFrames; });
    }
    return ready;
}

std::shared_ptr<gpu::Texture> MapRenderer::makeCanopyTexture(const std::vector<std::uint16_t>& heights, int side)
{
    if (side <= 0 || heights.size() != std::size_t(side) * std::size_t(side))
        return nullptr;
    std::vector<std::byte> texels(heights.size() * sizeof(std::uint16_t));
    std::memcpy(texels.data(), heights.data(), texels.size());
    return gpu::Texture::make(gpu::PixelFormat::r16, side, side, std::move(texels));
}

} // namespace velorin
