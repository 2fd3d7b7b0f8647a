// Scene preparation: from the camera to this frame's values, draws and wanted tiles; the
// detail bands; flight readiness and the scenes put back for flights.

#include "renderer/MapRenderer.h"

#include "map-data/TerrainService.h"
#include "map-data/TextureCache.h"
#include "map-data/TileLoader.h"
#include "renderer/SheetLayers.h"
#include "renderer/Sky.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr int kTrimEveryFrames = 120;
// Occlusion answers older than this are dropped when the caches are trimmed.
constexpr int kHiddenTileKeepFrames = 19;
// Canopy relief fades out this far from the eye, in ground metres.
constexpr double kCanopyFadeEndMeters = 800;
constexpr double kCanopyFadeStartShare = 0.62;
constexpr double kCanopyFadeNearShare = 0.9;
// Canopy relief needs tiles coarser than this level to be faded out.
constexpr int kCanopyMaxBandLevel = 17;
// The canopy near fade: how far above the ground the eye starts fading it, over how many
// metres, and the distances (metres) it spans.
constexpr double kNearFadeClearanceMeters = 60;
constexpr double kNearFadeSpanMeters = 45;
constexpr double kNearFadeStartMeters = 40;
constexpr double kNearFadeEndMeters = 150;
// The elevation zoom is this many levels below the display zoom.
constexpr int kTerrainZoomBelowDisplay = 2;
constexpr int kMinTerrainZoom = 5;
constexpr int kMaxTerrainZoom = 16;
// The base elevation eases over this time constant, and restarts after a longer pause.
constexpr double kBaseEasingSeconds = 0.2;
constexpr double kBaseResetSeconds = 0.5;
// The levels of the slope overlay.
constexpr int kMinSlopeLevel = 2;
constexpr int kMaxSlopeLevel = 17;
// Labels this far ahead (metres) or more than half a view height's ground are left out.
constexpr double kFarAheadMeters = 5000;
// The missing keys a flight's waits name.
constexpr std::size_t kNamedMissingTiles = 3;

// Relief heights are drawn scaled down on a gently tilted map.
double reliefFactor(double pitch)
{
    return pitch >= ReliefGeometry::kFullReliefPitchRadians ? 1 : std::sin(pitch) / ReliefGeometry::kFullReliefPitchSine;
}

std::string describe(const TileKey& key)
{
    return std::visit(
        [](const auto& fields) {
            using Fields = std::decay_t<decltype(fields)>;
            if constexpr (std::is_same_v<Fields, TileKey::Pyramid>)
                return fmt::format("pyramid {}/{}/{}", fields.z, fields.x, fields.y);
            else if constexpr (std::is_same_v<Fields, TileKey::Thumbnail>)
                return fmt::format("thumbnail {} {}", fields.sheet, fields.size);
            else if constexpr (std::is_same_v<Fields, TileKey::Subtile>)
                return fmt::format("sub {} {}/{}", fields.sheet, fields.column, fields.row);
            else
                return fmt::format("web {} {}/{}/{}", fields.source, fields.z, fields.x, fields.y);
        },
        key.value);
}

} // namespace

void MapRenderer::prepareScene(double now)
{
    if (textures)
        textures->advanceGeneration();
    draws.clear();
    ++frameNumber;
    if (frameNumber % kTrimEveryFrames == 0) {
        trimMeshes();
        std::erase_if(hiddenTiles,
            [this](const auto& entry) { return frameNumber - entry.second.frame >= kHiddenTileKeepFrames; });
    }
    desired.clear();
    lowPriority.clear();
    nearDesired.clear();
    solidVertices.clear();
    needsAnotherFrame = false;

    const Pose pose{camera.center, camera.zoom, camera.bearing, camera.pitch};
    if (lastPose && *lastPose != pose)
        poseChangedFrame = frameNumber;
    lastPose = pose;
    frame.frameCos = std::cos(camera.bearing);
    frame.frameSin = std::sin(camera.bearing);

    const WorldRect visible = camera.visibleRect();
    if (camera.pitch == 0 || !terrain) {
        frame.frameHeightScale = 0;
    } else {
        const double pixelsPerMeter = 1 / camera.center.metersPerPixel(camera.zoom);
        frame.frameHeightScale = pixelsPerMeter * reliefFactor(camera.pitch);

        const int level = basemap.tileLevel(camera.zoom, contentScale);
        const auto bands = desiredTiles(visible, std::nullopt, basemap.maxLevel() - level);
        const double logScale = contentScale > 0 ? std::log2(contentScale) : 0;
        const double photoLogScale = contentScale > 0 ? std::log2(contentScale / 2) : 0;
        const double adjust = basemap == Basemap::orthophoto || basemap == Basemap::swissImage
                || basemap == Basemap::spainImage || basemap == Basemap::austriaImage
            ? photoLogScale
            : logScale;
        const DesiredTileBand* fadeBand = nullptr;
        for (auto band = bands.rbegin(); band != bands.rend(); ++band) {
            if (basemap == Basemap::top25 || std::round(camera.zoom - band->drop - adjust) < kCanopyMaxBandLevel) {
                fadeBand = &*band;
                break;
            }
        }
        double end = kCanopyFadeEndMeters * pixelsPerMeter;
        if (fadeBand && !fadeBand->whole)
            end = std::min(end, kCanopyFadeNearShare * fadeBand->near);
        frame.frameBumpFade = {kCanopyFadeStartShare * end, end};

        const auto eye = eyePosition(camera);
        const double t = std::min(
            (elevationAt(eye.ground) - eye.altitude + kNearFadeClearanceMeters) / kNearFadeSpanMeters, 1.0);
        const double nearFade = t <= 0 ? 0 : t;
        frame.frameBumpNear = {kNearFadeStartMeters * pixelsPerMeter * nearFade,
            std::max(1.0, kNearFadeEndMeters * pixelsPerMeter * nearFade)};

        frameCanopyReady = updateCanopyTextures();
        canopyUploads = 0;

        frame.frameTerrainZoom = std::clamp(
            int(camera.zoom - logScale) - kTerrainZoomBelowDisplay, kMinTerrainZoom, kMaxTerrainZoom);
        for (const DesiredTileBand& band : desiredTiles(visible, std::nullopt, 0)) {
            const int zoom = frame.frameTerrainZoom - band.drop;
            bool complete = true;
            for (const TerrainService::Key& key : TerrainService::tileKeys(zoom, band.rect)) {
                terrain->load(key);
                complete = complete && terrain->contains(key);
            }
            if (preparingFlightFrame && !complete) {
                flightResourcesReady = false;
                flightWaits.push_back(fmt::format("relief z{}", zoom));
            }
        }
        for (const WorldRect& rect : prefetchRects)
            terrain->prefetch(frame.frameTerrainZoom, rect);

        const double ground = elevationAt(camera.center);
        double base = ground;
        if (smoothedBase && now - smoothedBase->at < kBaseResetSeconds && !preparingFlightFrame) {
            const double dt = now - smoothedBase->at;
            base = smoothedBase->value + (ground - smoothedBase->value) * (1 - std::exp(-dt / kBaseEasingSeconds));
        }
        frame.frameBaseElevation = base;
        smoothedBase = SmoothedBase{base, now};
    }

    prepareTileDraws(visible, now);
    if (basemap == Basemap::top25 && textures) {
        if (!sheetLayers_ || sheetTextures_ != textures) {
            sheetLayers_ = std::make_unique<SheetLayers>(catalog_, textures);
            sheetTextures_ = textures;
        }
        sheetLayers_->prepareSheetLayers(*this, visible, now, preparingFlightFrame);
        desired.insert(desired.end(), sheetLayers_->desired.begin(), sheetLayers_->desired.end());
        lowPriority.insert(lowPriority.end(), sheetLayers_->lowPriority.begin(), sheetLayers_->lowPriority.end());
        visibleSheetCount = int(sheetLayers_->visibleSheetCount);
    } else {
        visibleSheetCount = 0;
    }

    if (showsSlopes) {
        const Basemap slopes = Basemap::slopes;
        const double logScale = contentScale > 0 ? std::log2(contentScale) : 0;
        const auto bands
            = desiredTiles(visible, std::nullopt, kMaxSlopeLevel - slopes.tileLevel(camera.zoom, contentScale));
        for (const DesiredTileBand& band : bands) {
            const double rounded = std::round(camera.zoom - band.drop - logScale);
            const int level = int(std::clamp(std::isfinite(rounded) ? rounded : double(kMinSlopeLevel),
                double(kMinSlopeLevel), double(kMaxSlopeLevel)));
            layTiles({band.rect, level, kMinSlopeLevel, band.near, band.far, band.whole, 2 * band.drop + 1, now, false,
                slopes.index(), false});
        }
    }

    buildTerrainMesh();
    // A flight frame still waiting for its tiles or relief is not dressed yet.
    if (preparingFlightFrame && (!flightResourcesReady || !isDesiredCached()))
        return;
    prepareTreesAndBuildings(now);
    prepareOverlays();
}

std::vector<DesiredTileBand> MapRenderer::desiredTiles(
    const WorldRect& rect, const std::optional<Camera>& from, int finerLevels) const
{
    return DesiredTileBand::of(from ? *from : camera, rect, finerLevels);
}

std::vector<SolidVertex> MapRenderer::skyVertices() const
{
    return Sky::vertices(camera);
}

bool MapRenderer::flightReadiness(const Camera& flightCamera)
{
    camera = flightCamera;
    preparingFlightFrame = true;
    flightResourcesReady = true;
    flightWaits.clear();
    flightRoofKeys.clear();
    prepareScene(clock->now());

    std::vector<TileKey> wanted = desired;
    wanted.insert(wanted.end(), flightRoofKeys.begin(), flightRoofKeys.end());
    if (loader_) {
        std::vector<TileKey> handed = wanted;
        handed.insert(handed.end(), lowPriority.begin(), lowPriority.end());
        handed.insert(handed.end(), flightAheadKeys.begin(), flightAheadKeys.end());
        loader_->setDesired(std::move(handed));
    }
    std::vector<const TileKey*> missing;
    for (const TileKey& key : wanted) {
        if (!textures || !textures->contains(key))
            missing.push_back(&key);
    }
    const std::size_t present = wanted.size() - missing.size();
    flightPreparationProgress
        = double(present) / double(std::max<std::size_t>(wanted.size(), 1)) * (flightResourcesReady ? 1 : 0.9);
    const auto withoutMesh = std::count_if(draws.begin(), draws.end(), [](const Draw& draw) { return !draw.mesh; });

    preparingFlightFrame = false;
    if (missing.empty() && flightResourcesReady && withoutMesh == 0) {
        preparedFlightCamera = flightCamera;
        return true;
    }
    flightWaits.push_back(fmt::format("tuiles {}/{}, maillages manquants {}", present, wanted.size(), withoutMesh));
    for (std::size_t at = 0; at < std::min(missing.size(), kNamedMissingTiles); ++at)
        flightWaits.push_back("tuile " + describe(*missing[at]));
    preparedFlightCamera.reset();
    return false;
}

MapRenderer::SavedFrame MapRenderer::savedFrame() const
{
    return {frame, smoothedBase};
}

void MapRenderer::restoreFrameState(const Camera& savedCamera, const SavedFrame& state)
{
    camera = savedCamera;
    frame = state.frame;
    smoothedBase = state.smoothedBase;
    preparedFlightCamera.reset();
}

void MapRenderer::restoreScene(const Camera& sceneCamera, std::vector<Draw> sceneDraws, std::vector<SolidVertex> sky,
    std::vector<SolidVertex> solids, std::vector<TreeDraw> trees, std::vector<BuildingDraw> buildingList,
    const FrameState& state, int sheetCount)
{
    camera = sceneCamera;
    draws = sceneDraws;
    preparedFlightOrder = std::move(sceneDraws);
    preparedFlightSky = std::move(sky);
    solidVertices = std::move(solids);
    treeDraws = std::move(trees);
    buildingDraws = std::move(buildingList);
    frame = state;
    smoothedBase = SmoothedBase{state.frameBaseElevation, clock->now()};
    visibleSheetCount = sheetCount;
    preparedFlightCamera = sceneCamera;
}

bool MapRenderer::isFarAhead(WorldPoint point) const
{
    const double metersPerPixel = camera.center.metersPerPixel(camera.zoom);
    const double dx = point.x - camera.center.x;
    const double dy = point.y - camera.center.y;
    const double ahead = camera.scale() * (dx * frame.frameSin - dy * frame.frameCos) * metersPerPixel;
    return ahead > std::max(kFarAheadMeters, metersPerPixel * camera.viewSize.height / 2);
}

std::array<WorldPoint, 4> MapRenderer::labelledGround() const
{
    if (camera.pitch != 0) {
        const double metersPerPixel = camera.center.metersPerPixel(camera.zoom);
        const double aheadPixels = std::max(kFarAheadMeters / metersPerPixel, camera.viewSize.height / 2);
        const double farDepth = camera.focalDistance() + std::sin(camera.pitch) * aheadPixels;
        if (auto footprint = camera.groundFootprint(0, farDepth))
            return *footprint;
    }
    const WorldRect view = camera.visibleRect();
    return {WorldPoint{view.minX, view.minY}, WorldPoint{view.maxX, view.minY}, WorldPoint{view.maxX, view.maxY},
        WorldPoint{view.minX, view.maxY}};
}

std::optional<Camera::Point> MapRenderer::screenPoint(WorldPoint point) const
{
    const double s = camera.scale();
    const double dx = (point.x - camera.center.x) * s;
    const double dy = (point.y - camera.center.y) * s;
    const Camera::Point offset{frame.frameSin * dy + frame.frameCos * dx, frame.frameCos * dy - frame.frameSin * dx};
    const auto projection = camera.project(offset, reliefHeight(point));
    if (!projection)
        return std::nullopt;
    return projection->point;
}

} // namespace velorin
