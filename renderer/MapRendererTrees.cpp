// The trees of a frame: the tiles around the view whose trees and buildings are asked for,
// the trees' instance buffers by shape, the tree draws and what a flight still waits for;
// and the canopy's request when 3D trees are off.

#include "renderer/MapRenderer.h"

#include "map-data/TerrainService.h"
#include "platform/gpu/GpuError.h"
#include "renderer/LeafColors.h"
#include "renderer/ParallelMap.h"
#include "renderer/TileCover.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <optional>

namespace velorin {

namespace {

constexpr float kShrubShape = 2;
constexpr float kLoneTreeShape = 5;
constexpr float kLoneConiferSlot = 0;
constexpr float kLoneBroadleafSlot = 1;

// The slot of a tree's shape code, or nothing for a code without a model.
std::optional<std::size_t> slotOf(float shape, double elevation)
{
    if (!(shape >= 0 && shape <= kLoneTreeShape) || shape != std::floor(shape))
        return std::nullopt;
    if (shape != kShrubShape && elevation > MapRenderer::kTreeLineMeters)
        return std::nullopt;
    if (shape == kLoneTreeShape)
        return std::size_t(elevation > MapRenderer::kLoneConiferAboveMeters ? kLoneConiferSlot : kLoneBroadleafSlot);
    return std::size_t(shape);
}

} // namespace

std::array<std::vector<TreeInstance>, MapRenderer::kTreeSlots> MapRenderer::treeInstances(
    const std::vector<ForestService::Tree>& trees, const ForestService::Key& tile, const ElevationSampler& elevation)
{
    const WorldPoint corner = tileCorner(tile);
    const double worldPerMeter = 1 / tileMetersPerWorldUnit(tile);

    struct Placed {
        std::size_t slot = kTreeSlots; // kTreeSlots: left out
        TreeInstance instance;
    };
    // Trees a run of elevations is sampled for at once.
    constexpr std::size_t kRun = kParallelTreeThreshold;
    std::vector<std::size_t> runs;
    for (std::size_t first = 0; first < trees.size(); first += kRun)
        runs.push_back(first);
    const auto place = [&](std::size_t first) {
        const std::size_t count = std::min(kRun, trees.size() - first);
        std::vector<WorldPoint> points(count);
        std::vector<double> heights(count, 0.0);
        for (std::size_t at = 0; at < count; ++at) {
            const ForestService::Tree& tree = trees[first + at];
            points[at] = {corner.x + double(tree.x) * worldPerMeter, corner.y + double(tree.y) * worldPerMeter};
        }
        if (elevation)
            elevation(points, heights);
        std::vector<Placed> placed(count);
        for (std::size_t at = 0; at < count; ++at) {
            const ForestService::Tree& tree = trees[first + at];
            if (const auto slot = slotOf(tree.shape, heights[at]))
                placed[at] = {*slot, {tree.x, tree.y, float(heights[at]), tree.height, tree.shade}};
        }
        return placed;
    };
    std::vector<std::vector<Placed>> placed;
    if (trees.size() < kParallelTreeThreshold)
        std::transform(runs.begin(), runs.end(), std::back_inserter(placed), place);
    else
        placed = parallelMap(runs, place);

    std::array<std::vector<TreeInstance>, kTreeSlots> slots;
    for (const auto& run : placed) {
        for (const Placed& tree : run) {
            if (tree.slot < kTreeSlots)
                slots[tree.slot].push_back(tree.instance);
        }
    }
    return slots;
}

TreeTileUniforms MapRenderer::tileUniforms(const ForestService::Key& key) const
{
    const WorldPoint corner = tileCorner(key);
    const double s = camera.scale();
    TreeTileUniforms uniforms;
    uniforms.origin = {float((corner.x - camera.center.x) * s), float((corner.y - camera.center.y) * s)};
    uniforms.pixelsPerMeter = float(s / tileMetersPerWorldUnit(key));
    uniforms.eye = frame.frameTreeEye;
    return uniforms;
}

void MapRenderer::prepareTreesAndBuildings(double now)
{
    treeDraws.clear();
    buildingDraws.clear();
    const bool paused = !preparingFlightFrame && now < extrasPausedUntil;
    if (canopyWanted()) {
        if (paused) {
            needsAnotherFrame = true;
            return;
        }
        const WorldPoint eye = eyePosition(camera).ground;
        const double d = kCanopyReachMeters / eye.metersPerWorldUnit();
        forest_->requestCanopy({eye.x - d, eye.y - d, eye.x + d, eye.y + d});
    }
    if (!showsTrees || !forest_ || !terrain || !closeEnoughForTrees())
        return;

    const WorldPoint centre = camera.center;
    const WorldPoint eye = eyePosition(camera).ground;
    const double reach = kTreeReachMeters / centre.metersPerWorldUnit();
    WorldRect area{std::min(centre.x, eye.x) - reach, std::min(centre.y, eye.y) - reach,
        std::max(centre.x, eye.x) + reach, std::max(centre.y, eye.y) + reach};
    if (tileCoverCount(area) > kMaxTreeAreaTiles)
        area = {centre.x - reach, centre.y - reach, centre.x + reach, centre.y + reach};
    const double s = camera.scale();
    frame.frameTreeEye = {float((eye.x - centre.x) * s), float((eye.y - centre.y) * s)};

    if (paused) {
        needsAnotherFrame = true;
        prepareBuildings(area, false);
    } else {
        prepareBuildings(area, true);
        forest_->request(area);
    }

    const auto keys = tileCover(area);
    const auto& forestTiles = forest_->tiles();
    if (preparingFlightFrame) {
        for (const ForestService::Key& key : keys) {
            // Trees that failed to load are not waited for: the frame shows the ground bare.
            const bool trees = forestTiles.contains(key) || forest_->treesFailed(key);
            if (trees && (!buildings_ || buildings_->tiles().contains(key)))
                continue;
            flightResourcesReady = false;
            flightWaits.push_back(fmt::format("{} {} {} {}", trees ? "bâtiments" : "arbres", key.z, key.x, key.y));
        }
    }

    const int month = leafMonth.value_or(LeafColors::localMonth(std::chrono::system_clock::now()));
    const TerrainService* elevations = terrain.get();
    const int zoom = frame.frameTerrainZoom;
    const ElevationSampler sampler = [elevations, zoom](auto points, auto heights) {
        elevations->elevations(points, zoom, heights);
    };
    for (const ForestService::Key& key : keys) {
        const TreeKey treeKey{key, terrainGeneration, frame.frameTerrainZoom};
        auto cached = treeBuffers.find(treeKey);
        if (cached == treeBuffers.end()) {
            const auto trees = forestTiles.find(key);
            if (trees == forestTiles.end())
                continue;
            TreeBuffers buffers;
            try {
                const auto slots = treeInstances(trees->second, key, sampler);
                for (std::size_t slot = 0; slot < kTreeSlots; ++slot) {
                    if (!slots[slot].empty()) {
                        buffers.shapes[slot] = {gpu::Buffer::of<TreeInstance>(context_, gpu::BufferKind::vertex, slots[slot]),
                            int(slots[slot].size())};
                    }
                }
            } catch (const gpu::GpuError&) {
                // Made again next frame.
                continue;
            }
            cached = treeBuffers.emplace(treeKey, std::move(buffers)).first;
        }
        cached->second.lastUsed = frameNumber;

        TreeTileUniforms uniforms = tileUniforms(key);
        for (std::size_t slot = 0; slot < kTreeSlots; ++slot) {
            const TreeSlot& buffer = cached->second.shapes[slot];
            if (!buffer.buffer)
                continue;
            const LeafColors leaves = LeafColors::forSlot(int(slot), month);
            uniforms.shape = float(slot);
            uniforms.leafA = leaves.leafA;
            uniforms.leafB = leaves.leafB;
            treeDraws.push_back({buffer.buffer, buffer.count, uniforms});
        }
    }

    if (treeBuffers.size() > kTreeBufferTrimThreshold) {
        std::erase_if(treeBuffers,
            [this](const auto& entry) { return frameNumber - entry.second.lastUsed >= kTreeBufferKeepFrames; });
    }
}

} // namespace velorin
