#pragma once

#include "map-data/Basemap.h"
#include "map-data/SheetCatalog.h"
#include "map-data/TileKey.h"
#include "map-data/WorldPoint.h"
#include "map-data/WorldRect.h"
#include "platform/Clock.h"
#include "platform/gpu/Buffer.h"
#include "platform/gpu/DepthState.h"
#include "platform/gpu/FrameRing.h"
#include "platform/gpu/Pipeline.h"
#include "platform/gpu/RenderPass.h"
#include "platform/gpu/Texture.h"
#include "recordings/TrackDisplayPoint.h"
#include "renderer/BuildingGPUVertex.h"
#include "renderer/BuildingService.h"
#include "renderer/Camera.h"
#include "renderer/DesiredTileBand.h"
#include "renderer/ForestService.h"
#include "renderer/FrameState.h"
#include "renderer/MeshVertex.h"
#include "renderer/ReliefGeometry.h"
#include "renderer/SolidVertex.h"
#include "renderer/TileUniforms.h"
#include "renderer/TreeInstance.h"
#include "renderer/TreeTileUniforms.h"
#include "renderer/VisibleTiles.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace gpu {
class Context;
class RenderTarget;
class ShaderLibrary;
} // namespace gpu

namespace velorin {

class SheetLayers;
class TerrainService;
class TextureCache;
class TileLoader;

// The map's one GPU renderer: it owns the pipelines, the shared index grids, the tree
// meshes, the overlay ring and the terrain mesh cache, turns tile quads into draws and
// encodes each frame (sky, terrain, buildings, trees, overlays), and answers the canvas's
// geometric questions about the frame. GUI thread only, with its GL context current, except
// `visibleTiles`; the canvas writes the camera and display options between frames.
class MapRenderer {
public:
    // What the canvas shows when no renderer can be made; the program then stops.
    static constexpr std::string_view kStartFailureMessage = "Impossible d'initialiser le moteur OpenGL";
    static constexpr std::size_t kOverlayVertexCapacity = 262'144;
    static constexpr std::size_t kRoofRecordCount = 17;
    static constexpr std::size_t kRoofPhotoCount = 16;
    // Skirts hang this far below a mesh's edges, hiding cracks between neighbouring meshes.
    static constexpr double kSkirtDropMeters = 40;
    // Elevations are sampled on at most this many points per mesh side, then interpolated.
    static constexpr int kMaxElevationIntervals = 16;
    static constexpr std::size_t kMeshCacheTrimThreshold = 3000;
    static constexpr int kMeshKeepFrames = 300;
    // Canopy relief needs tiles of this level or finer, mapped onto zoom-15 canopy grids.
    static constexpr int kMinCanopyLevel = 17;
    static constexpr int kCanopyGridLevel = 15;
    // Meshes carrying canopy relief have this many divisions at level 19 and finer,
    // doubling per coarser level.
    static constexpr int kCanopyDivisionsAtLevel19 = 64;
    // Below this many missing meshes a frame fills them on the GUI thread alone.
    static constexpr std::size_t kParallelMeshThreshold = 4;
    // Trees and the canopy show only on a view tilted past this and closer than this.
    static constexpr double kMinTreePitchRadians = 0.35;
    static constexpr double kMaxTreeMetersPerPixel = 3.0;
    // Trees are asked for this far around the view, canopies this far around the eye.
    static constexpr double kTreeReachMeters = 1200;
    static constexpr double kCanopyReachMeters = 900;
    static constexpr std::size_t kMaxTreeAreaTiles = 25;
    // Tree shape slots: 0 conifer, 1 broadleaf, 2 shrub, 3 evergreen oak, 4 oak.
    static constexpr std::size_t kTreeSlots = 5;
    // Trees stop at this elevation (metres), shrubs excepted; a tree outside the forest is a
    // conifer above the second.
    static constexpr double kTreeLineMeters = 2250;
    static constexpr double kLoneConiferAboveMeters = 1200;
    // From this many trees a tile's instances are made on several threads.
    static constexpr std::size_t kParallelTreeThreshold = 256;
    // Past this many tiles' tree buffers, those unused for kTreeBufferKeepFrames go.
    static constexpr std::size_t kTreeBufferTrimThreshold = 200;
    static constexpr int kTreeBufferKeepFrames = 300;
    // Buildings without a roof colour of their own: slate above this elevation, tiles below.
    static constexpr double kSlateRoofsAboveMeters = 900;
    static constexpr std::size_t kParallelBuildingThreshold = 512;
    // Roofs take their aerial photo at this level within this distance of the line from
    // the ground under the view's bottom to its centre, one level coarser farther.
    static constexpr int kNearRoofLevel = 18;
    static constexpr double kNearRoofMeters = 450;
    // The roof photo cells of a building quarter, a side.
    static constexpr int kRoofCellsPerSide = 4;
    // Canopy textures made per frame, and the count from which the stale ones go.
    static constexpr int kMaxCanopyUploadsPerFrame = 2;
    static constexpr std::size_t kCanopyTextureTrimCount = 25;
    static constexpr int kCanopyKeepFrames = 120;

    // The geometry of one tile mesh, which is what the mesh cache is keyed by.
    struct MeshKey {
        WorldPoint nw;
        WorldPoint ne;
        WorldPoint se;
        WorldPoint sw;
        int divisions = 1;
        int terrainZoom = -1; // −1: a flat mesh
        int terrainGeneration = 0;
        bool skirt = false;

        bool operator==(const MeshKey&) const = default;
    };

    struct MeshKeyHash {
        std::size_t operator()(const MeshKey& key) const noexcept;
    };

    // The tree and building buffers of a zoom-15 tile for one relief.
    struct TreeKey {
        ForestService::Key tile;
        int generation = 0;
        int terrainZoom = 0;

        bool operator==(const TreeKey&) const = default;
    };

    struct TreeKeyHash {
        std::size_t operator()(const TreeKey& key) const noexcept;
    };

    // One terrain tile draw of the frame.
    struct Draw {
        std::shared_ptr<gpu::Buffer> mesh; // absent until built
        MeshKey meshKey;
        int divisions = 1;
        std::shared_ptr<gpu::Texture> texture;
        std::shared_ptr<gpu::Texture> canopy;
        TileUniforms uniforms;
        bool backdrop = false; // drawn first, neither testing nor writing depth
    };

    // The fade state of a draw slot.
    struct Reveal {
        int level = 0;
        double since = 0;
        std::optional<double> releasedAt;
    };

    // A scene held for the canvas: its camera and how to put it back.
    struct FlightScene {
        Camera camera;
        std::function<void(MapRenderer&)> restore;
    };

    // The eased base elevation (metres) and the media time it was taken.
    struct SmoothedBase {
        double value = 0;
        double at = 0;

        bool operator==(const SmoothedBase&) const = default;
    };

    // What is saved around a flight frame and put back afterwards.
    struct SavedFrame {
        FrameState frame;
        std::optional<SmoothedBase> smoothedBase;

        bool operator==(const SavedFrame&) const = default;
    };

    // The camera pose of the last scene preparation.
    struct Pose {
        WorldPoint center;
        double zoom = 0;
        double bearing = 0;
        double pitch = 0;

        bool operator==(const Pose&) const = default;
    };

    // Whether relief hid a tile, and at which frame that was worked out.
    struct HiddenTile {
        bool hidden = false;
        int frame = 0;
    };

    // Where a tile layer pass takes its tiles from and how it lays them.
    struct TilePass {
        WorldRect area;
        int level = 0;
        int lowestLevel = 0;
        // Depths along the line of sight (pixels) of the ground the pass covers; ignored
        // with `flatOrder`, which takes every tile, nearest the camera centre first.
        double near = 0;
        double far = 0;
        bool flatOrder = false;
        // Even: a basemap layer; odd: an overlay. It names the pass's reveal.
        int pass = 0;
        double now = 0;
        bool pyramid = false;
        int source = 0;
        bool backdrop = false;
    };

    struct TreeDraw {
        std::shared_ptr<gpu::Buffer> instances;
        int count = 0;
        TreeTileUniforms uniforms;
    };

    struct BuildingDraw {
        std::shared_ptr<gpu::Buffer> buffer;
        int firstVertex = 0;
        int endVertex = 0;
        TreeTileUniforms uniforms;
        std::array<gpu::Float4, kRoofRecordCount> roof;
        std::array<std::shared_ptr<gpu::Texture>, kRoofPhotoCount> photos;
    };

    // The roof photos of a quarter of a buildings tile: a header (cell size in metres,
    // whether photos are used, the quarter's west and north edges in metres from the tile's
    // corner), then for each of its cells, row by row from the north, where the cell lies in
    // its photo (u, v, size, 0), all zero without one; and the photos themselves.
    struct RoofImagery {
        std::array<gpu::Float4, kRoofRecordCount> roof{};
        std::array<std::shared_ptr<gpu::Texture>, kRoofPhotoCount> photos;
    };

    // The GPU vertices of a buildings tile, by quarter (north-west, north-east, south-west,
    // south-east): those of quarter q run from `starts[q]` to `starts[q + 1]`.
    struct BuildingQuarters {
        std::vector<BuildingGPUVertex> vertices;
        std::array<int, 5> starts{};
    };

    // A tile's buildings on the GPU; no buffer for a tile without any.
    struct BuildingBuffer {
        std::shared_ptr<gpu::Buffer> buffer;
        std::array<int, 5> starts{};
        int lastUsed = 0;
    };

    struct IndexGrid {
        std::unique_ptr<gpu::Buffer> buffer;
        int count = 0;
    };

    struct TreeMesh {
        std::unique_ptr<gpu::Buffer> buffer;
        int count = 0;
    };

    struct CachedMesh {
        std::shared_ptr<gpu::Buffer> buffer;
        int lastUsed = 0;
    };

    // A tile's instances of one tree shape.
    struct TreeSlot {
        std::shared_ptr<gpu::Buffer> buffer; // none: no tree of that shape
        int count = 0;
    };

    struct TreeBuffers {
        std::array<TreeSlot, kTreeSlots> shapes;
        int lastUsed = 0;
    };

    struct CanopyTexture {
        std::shared_ptr<gpu::Texture> texture;
        int lastUsed = 0;
    };

    struct CanopyLookup {
        std::shared_ptr<gpu::Texture> texture;
        gpu::Float2 origin;
        gpu::Float2 span;
        double metersPerTexel = 0;
    };

    // Ground elevations in metres at a run of world points, written to the heights of the
    // same index; may be called from worker threads.
    using ElevationSampler = std::function<void(std::span<const WorldPoint> points, std::span<double> heights)>;

    // The device's position and its horizontal accuracy in metres, shown by the marker.
    struct UserLocation {
        WorldPoint world;
        double accuracy = 0;

        bool operator==(const UserLocation&) const = default;
    };

    // Nothing when any GPU object cannot be made: a shader function missing or failing, a
    // pipeline, buffer or texture the driver refuses. The context must be current. The
    // loader receives the wanted tiles of each frame; the terrain, forest and building
    // services are optional.
    static std::unique_ptr<MapRenderer> make(gpu::Context& context, const gpu::ShaderLibrary& library,
        SheetCatalog catalog, std::shared_ptr<TileLoader> loader, Camera camera,
        std::shared_ptr<TerrainService> terrain, std::shared_ptr<ForestService> forest,
        std::shared_ptr<BuildingService> buildings);

    ~MapRenderer();
    MapRenderer(const MapRenderer&) = delete;
    MapRenderer& operator=(const MapRenderer&) = delete;

    // The drawable was resized: the camera takes the view's pixel size, whatever size the
    // drawable reports.
    void drawableSizeWillChange(Camera::Size viewPixelSize);
    // The draw callback: sizes the camera to the view and encodes a frame into
    // `framebuffer`, cleared by the pitch's colour. Nothing for an empty view.
    void draw(Camera::Size viewPixelSize, unsigned framebuffer);
    // The current camera's frame encoded into `framebuffer`, of this many pixels: a raster
    // smaller than the camera's view shows the same view at a lower resolution, since every
    // distance of the scene (eye, relief, band depths) is measured in the camera's pixels.
    void drawInto(unsigned framebuffer, int width, int height);
    // One render pass: sky, terrain, buildings, trees, then overlays. Waits while three
    // frames are in flight.
    void encodeFrame(const gpu::RenderPass& pass);
    // The terrain draws in drawing order: by level, coarse first, backdrops before all.
    std::vector<const Draw*> orderedDraws() const;

    // Appends a tile draw; a flat camera draws every tile as one quad.
    void appendDraw(std::shared_ptr<gpu::Texture> texture, bool backdrop, int divisions, int z, int x, int y,
        const std::array<WorldPoint, 4>& corners, float alpha, double level, double minDepth, bool noCanopy);
    std::optional<CanopyLookup> canopy(int z, int x, int y) const;
    // The cached mesh of a key, stamped as used this frame.
    std::shared_ptr<gpu::Buffer> mesh(const MeshKey& key);
    // Builds, uploads and attaches the meshes that this frame's draws still miss, reading
    // elevations from the terrain service on worker threads while it waits for them.
    void buildTerrainMesh();
    // Once the cache holds more than kMeshCacheTrimThreshold meshes, keeps only those used
    // in the last kMeshKeepFrames frames.
    void trimMeshes();
    // Whether a tile quad (nw, ne, se, sw) may show on screen, its corners on the relief.
    bool isQuadVisible(const std::array<WorldPoint, 4>& corners) const;
    // The view depth in pixels of a point on the flat ground.
    double viewDepth(WorldPoint point) const;
    // The vertices of a key's mesh; a null sampler or a flat key gives elevation 0.
    static std::vector<MeshVertex> fillMeshVertices(const MeshKey& key, const ElevationSampler& elevation);

    // The per-frame update before encoding, at media time `now`: a held flight scene for
    // this camera is put back, a prepared one is drawn unchanged, and otherwise the scene is
    // prepared and its wanted tiles (desired, then low priority) go to the loader.
    void updateFrame(double now);
    // Scene preparation for the current camera at media time `now`: the frame values and the
    // canopy textures, the terrain draws, the wanted tile lists, the missing meshes, the trees
    // and the overlays.
    void prepareScene(double now);

    // The relief of the current frame, as the geometric services below see it.
    ReliefGeometry relief() const;
    // See ReliefGeometry for these, answered over the current frame's relief.
    ReliefGeometry::Eye eyePosition(const Camera& camera, std::optional<double> pitch = std::nullopt) const;
    std::optional<Camera> lookAtCamera(WorldPoint target, WorldPoint eye, double altitude, const Camera& look) const;
    std::optional<Camera> cameraFromEye(
        WorldPoint eye, double altitude, double bearing, double pitch, const Camera& look) const;
    std::optional<Camera> nearestTerrainHit(const Camera& camera) const;
    std::optional<WorldPoint> terrainPoint(Camera::Point screen, const Camera& camera) const;
    // Whether relief hides the point from the current camera's eye.
    bool isHiddenByTerrain(WorldPoint point) const;
    // Bases the relief on the ground at `point` (when relief is drawn) and restarts the
    // easing of the base from there at media time `now`.
    void resetBaseElevation(WorldPoint point, double now);

    // The tiles and elevation grids that drawing `camera` would need, with the display
    // options of the last frame update (or the current ones, on the GUI thread). Any
    // thread: it reads only its own copy of those options.
    VisibleTiles visibleTiles(const Camera& camera) const;
    // Whether every key of `desired` (or `nearDesired`) has a texture in the loader's cache;
    // true for an empty list or without a texture cache.
    bool isDesiredCached() const;
    bool isNearDesiredCached() const;

    // The instances of a zoom-15 tile's trees by shape slot, standing on the ground that
    // `elevation` gives (level ground when null): trees above the tree line and shapes
    // without a model are left out, trees outside the forest take the conifer or broadleaf
    // slot by elevation. Large tiles are mapped on several threads.
    static std::array<std::vector<TreeInstance>, kTreeSlots> treeInstances(
        const std::vector<ForestService::Tree>& trees, const ForestService::Key& tile, const ElevationSampler& elevation);
    // The trees and buildings of this frame: their buffers by tile, their draws and, during
    // a flight's preparation, the waits for tiles without them; with 3D trees off, the
    // canopy request. Frame time `now`, media seconds.
    void prepareTreesAndBuildings(double now);
    // A buildings tile's vertices standing on the ground that `elevation` gives under each
    // footprint (level ground when null), split into quarters: walls by footprint, roof
    // triangles by where they lie, cut along the quarter lines when they cross them; those
    // without a colour take the roof colour of their elevation. Large tiles are converted
    // on several threads.
    static BuildingQuarters buildingVertices(const std::vector<BuildingService::Vertex>& mesh,
        const ForestService::Key& tile, const ElevationSampler& elevation);
    // The building draws of the tiles of `area`, one a non-empty quarter, asking the
    // building source for the area when `requests` is set.
    void prepareBuildings(const WorldRect& area, bool requests);
    // The roof photos of quarter (column, row) of a buildings tile at `level` or the nearest
    // coarser level cached, down to the level above the tile's; only a photographic basemap
    // of web tiles has them. A missing photo at `level` is wanted at low priority; while a
    // flight frame is prepared, every cell's photo at that level is in `flightRoofKeys`.
    RoofImagery roofImagery(const ForestService::Key& tile, int column, int row, int level, double halfTileMeters);
    // Keeps the canopy textures within reach of the eye, making at most two a frame; whether
    // every canopy there that can be had is in.
    bool updateCanopyTextures();
    // An R16 side × side texture of canopy heights; nothing when `heights` is not side².
    static std::shared_ptr<gpu::Texture> makeCanopyTexture(const std::vector<std::uint16_t>& heights, int side);

    // Appends the track ribbon and the position marker to `solidVertices`. The marker's
    // vertices are set aside first, so that a long track never pushes it out of the ring.
    void prepareOverlays();

    // The detail bands of a rectangle for a camera (the renderer's when absent), farthest
    // first, the nearest reaching up to `finerLevels` (0…3) levels finer.
    std::vector<DesiredTileBand> desiredTiles(const WorldRect& rect, const std::optional<Camera>& camera,
        int finerLevels) const;
    // The basemap's tile draws of a visible rectangle, band by band, then its prefetch keys.
    void prepareTileDraws(const WorldRect& visible, double now);
    // One tile layer pass: picks, orders, draws and wants the tiles of one level.
    void layTiles(const TilePass& pass);
    // The fade-in alpha of each cached tile of a pass, given with its nearest cached
    // ancestor; a look-up counts as a use of the cache entry.
    std::vector<float> revealAlphas(const std::vector<TileKey>& keys,
        const std::vector<std::optional<TileKey>>& companions, const Reveal& reveal, double now);
    // The sky of the current camera.
    std::vector<SolidVertex> skyVertices() const;
    // Prepares the frame of a future camera and says whether everything it needs is
    // loaded; the waits are left in `flightWaits`.
    bool flightReadiness(const Camera& flightCamera);
    SavedFrame savedFrame() const;
    // Puts back a camera and a saved frame state, and forgets any prepared flight frame.
    void restoreFrameState(const Camera& savedCamera, const SavedFrame& state);
    // Installs a captured scene so that the next encoded frame shows it unchanged.
    void restoreScene(const Camera& sceneCamera, std::vector<Draw> sceneDraws, std::vector<SolidVertex> sky,
        std::vector<SolidVertex> solids, std::vector<TreeDraw> trees, std::vector<BuildingDraw> buildingList,
        const FrameState& state, int sheetCount);
    // Prepares a future camera's frame and, when everything it needs is loaded, packs it
    // with a way to put it back; the live camera and frame values are left as they were.
    std::optional<FlightScene> flightScene(const Camera& flightCamera);
    // Packs the scene last prepared, for `sceneCamera`, with a way to put it back, whatever
    // it still lacks.
    FlightScene captureScene(const Camera& sceneCamera) const;
    // The current scene drawn into a new offscreen frame of this size, once the GPU has
    // finished it; nothing when the frame cannot be made or did not complete.
    std::unique_ptr<gpu::RenderTarget> renderOffscreen(int width, int height);
    // Whether a point lies so far ahead of the camera that labels there are left out.
    bool isFarAhead(WorldPoint point) const;
    // The ground on which a label can stand: what the view shows and, tilted, no farther
    // ahead than `isFarAhead` allows; four corners in order round it.
    std::array<WorldPoint, 4> labelledGround() const;
    // The screen point of a world point lifted onto its relief; nothing behind the eye.
    std::optional<Camera::Point> screenPoint(WorldPoint point) const;

    const std::map<int, IndexGrid>& gridIndices() const { return gridIndices_; }
    const std::array<TreeMesh, 3>& treeMeshes() const { return treeMeshes_; }
    const SheetCatalog& catalog() const { return catalog_; }
    const std::shared_ptr<TileLoader>& loader() const { return loader_; }
    const std::shared_ptr<ForestService>& forest() const { return forest_; }
    const std::shared_ptr<BuildingService>& buildings() const { return buildings_; }
    // What a tile or roof without a photo of its own is drawn with.
    const std::shared_ptr<gpu::Texture>& blankTexture() const { return blankTexture_; }

    // Written by the canvas between frames.
    Camera camera;
    // Elevations of the meshes; without it the relief is flat.
    std::shared_ptr<TerrainService> terrain;
    Basemap basemap = Basemap::top25;
    bool showsSlopes = false;
    bool showsTrees = true;
    int detailBias = 0;
    double contentScale = 3.0;
    double extrasPausedUntil = 0;
    // The month (1…12) whose leaf colours the trees take; absent: this month, in local time.
    std::optional<int> leafMonth;
    std::optional<UserLocation> userLocation;
    std::vector<TrackDisplayPoint> trackPoints;

    // This frame's scene, filled by scene preparation and read by the encoder.
    FrameState frame;
    int frameNumber = 0;
    int terrainGeneration = 0;
    bool frameCanopyReady = false;
    int canopyUploads = 0;
    std::vector<Draw> draws;
    std::vector<TreeDraw> treeDraws;
    std::vector<BuildingDraw> buildingDraws;
    std::vector<SolidVertex> solidVertices;
    std::unordered_map<MeshKey, CachedMesh, MeshKeyHash> meshes;
    ForestService::Table<CanopyTexture> canopyTextures;
    std::unordered_map<TreeKey, TreeBuffers, TreeKeyHash> treeBuffers;
    std::unordered_map<TreeKey, BuildingBuffer, TreeKeyHash> buildingBuffers;
    // The loader's texture cache, which the tile passes read; tests give their own.
    std::shared_ptr<TextureCache> textures;
    // The media clock of fades and of scenes put back.
    std::shared_ptr<platform::Clock> clock;
    // Written by the canvas: areas whose tiles are wanted ahead, and tiles a flight wants.
    std::vector<WorldRect> prefetchRects;
    std::vector<TileKey> flightAheadKeys;

    // This frame's wanted tiles: all of them nearest first, those near the eye, and those
    // fetched only when nothing else is wanted.
    std::vector<TileKey> desired;
    std::vector<TileKey> nearDesired;
    std::vector<TileKey> lowPriority;
    // Fade-in state by tile pass; emptied to stop the fades.
    std::map<int, Reveal> reveals;
    std::unordered_map<TileKey, HiddenTile> hiddenTiles;
    std::optional<Pose> lastPose;
    int poseChangedFrame = 0;
    std::optional<SmoothedBase> smoothedBase;
    bool needsAnotherFrame = false;
    int visibleSheetCount = 0;

    // Flight frames: prepared ahead, then reported on.
    bool preparingFlightFrame = false;
    bool flightResourcesReady = true;
    std::vector<std::string> flightWaits;
    std::vector<TileKey> flightRoofKeys;
    double flightPreparationProgress = 0;

    // A flight scene prepared ahead, encoded once instead of the live one.
    std::optional<Camera> preparedFlightCamera;
    std::optional<std::vector<Draw>> preparedFlightOrder;
    std::optional<std::vector<SolidVertex>> preparedFlightSky;
    // Put back by each frame update whose camera is the scene's.
    std::optional<FlightScene> heldFlightScene;

private:
    struct Pipelines {
        std::unique_ptr<gpu::Pipeline> textured;
        std::unique_ptr<gpu::Pipeline> solid;
        std::unique_ptr<gpu::Pipeline> tree;
        std::unique_ptr<gpu::Pipeline> building;
    };

    MapRenderer(gpu::Context& context, SheetCatalog catalog, std::shared_ptr<TileLoader> loader, Camera camera,
        std::shared_ptr<TerrainService> terrain, std::shared_ptr<ForestService> forest,
        std::shared_ptr<BuildingService> buildings);
    void setUp(const gpu::ShaderLibrary& library);
    const std::shared_ptr<gpu::Texture>& emptyCanopy();
    // Whether the frame is close and tilted enough for trees or the canopy.
    bool closeEnoughForTrees() const;
    // Where a zoom-15 tile of trees or buildings is drawn this frame; no shape nor leaves.
    TreeTileUniforms tileUniforms(const ForestService::Key& key) const;
    // The canopy lifts the map: 3D trees are off, there is a forest source, and the map is
    // not the TOP25 sheets.
    bool canopyWanted() const;
    // Publishes the display options that `visibleTiles` reads.
    void publishTileSettings() const;
    bool allCached(const std::vector<TileKey>& keys) const;
    // The ground elevation in metres at the frame's elevation zoom; 0 without terrain.
    double elevationAt(WorldPoint point) const;
    // Screen pixels by which the relief lifts a ground point this frame.
    double reliefHeight(WorldPoint point) const;
    // Whether relief hides all of a tile, remembered in `hiddenTiles` for a few frames.
    bool isTileHidden(const TileKey& key, const std::array<WorldPoint, 4>& corners);

    gpu::Context& context_;
    gpu::FrameRing frames_;
    SheetCatalog catalog_;
    std::shared_ptr<TileLoader> loader_;
    std::shared_ptr<ForestService> forest_;
    std::shared_ptr<BuildingService> buildings_;
    Pipelines pipelines_;
    std::shared_ptr<gpu::Texture> blankTexture_;
    std::array<TreeMesh, 3> treeMeshes_;
    std::map<int, IndexGrid> gridIndices_;
    std::array<std::unique_ptr<gpu::Buffer>, gpu::FrameRing::kFramesInFlight> solidBuffers_;
    std::shared_ptr<gpu::Texture> emptyCanopy_;
    // The TOP25 sheet layers over the texture cache they were made for.
    std::unique_ptr<SheetLayers> sheetLayers_;
    std::shared_ptr<TextureCache> sheetTextures_;
    // `visibleTiles` runs on worker threads while this thread changes the live options, so
    // it reads this copy, replaced whole under the lock.
    const std::thread::id guiThread_ = std::this_thread::get_id();
    mutable std::mutex tileSettingsMutex_;
    mutable VisibleTiles::Settings tileSettings_;
};

} // namespace velorin
