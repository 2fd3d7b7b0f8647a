#include "renderer/MapRenderer.h"

#include "map-data/TerrainService.h"
#include "map-data/TileLoader.h"
#include "platform/SteadyClock.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/RenderEncoder.h"
#include "platform/gpu/ShaderLibrary.h"
#include "renderer/BuildingGPUVertex.h"
#include "renderer/FrameUniforms.h"
#include "renderer/ParallelMap.h"
#include "renderer/SheetLayers.h"
#include "renderer/Sky.h"
#include "renderer/TileGrid.h"
#include "renderer/TreeInstance.h"
#include "renderer/TreeModels.h"
#include "renderer/TreeVertex.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <unordered_set>

namespace velorin {

namespace {

// Uniform block bindings and texture units shared by the pipelines and the GLSL.
constexpr int kFrameBinding = 0;
constexpr int kTileBinding = 1;
constexpr int kRoofBinding = 2;
constexpr int kTileTextureUnit = 0;
constexpr int kCanopyTextureUnit = 1;

// Reversed depth: the pass clears to 0 and nearer surfaces have larger depths.
constexpr gpu::DepthState kTerrainDepth{gpu::DepthCompare::greaterEqual, true};
constexpr gpu::DepthState kOverlayDepth{gpu::DepthCompare::always, false};
constexpr gpu::DepthState kSolidDepth{gpu::DepthCompare::greaterEqual, false};

// Shapes from this code on have no model of their own and are drawn as broadleaves.
constexpr int kFallbackTreeModel = 1;

gpu::PipelineDescriptor texturedDescriptor()
{
    return {
        "textured_vertex",
        "textured_fragment",
        {{0, sizeof(MeshVertex), false,
            {{0, 2, offsetof(MeshVertex, u), gpu::VertexFormat::unorm16}, {1, 1, offsetof(MeshVertex, elevation)},
                {2, 2, offsetof(MeshVertex, slopeEast), gpu::VertexFormat::snorm16}}}},
        {{"Frame", kFrameBinding}, {"Tile", kTileBinding}},
        {{"tileTexture", kTileTextureUnit}, {"canopyTexture", kCanopyTextureUnit}},
    };
}

gpu::PipelineDescriptor solidDescriptor()
{
    return {
        "solid_vertex",
        "solid_fragment",
        {{0, sizeof(SolidVertex), false, {{0, 3, offsetof(SolidVertex, x)}, {1, 4, offsetof(SolidVertex, r)}}}},
        {},
        {},
    };
}

gpu::PipelineDescriptor treeDescriptor()
{
    return {
        "tree_vertex",
        "tree_fragment",
        {
            {0, sizeof(TreeVertex), false, {{0, 3, offsetof(TreeVertex, x)}, {1, 3, offsetof(TreeVertex, nx)}}},
            {1, sizeof(TreeInstance), true,
                {{2, 2, offsetof(TreeInstance, x)}, {3, 1, offsetof(TreeInstance, elevation)},
                    {4, 1, offsetof(TreeInstance, height)}, {5, 1, offsetof(TreeInstance, shade)}}},
        },
        {{"Frame", kFrameBinding}, {"TreeTile", kTileBinding}},
        {},
    };
}

// Roof photo i is on texture unit i.
gpu::PipelineDescriptor buildingDescriptor()
{
    std::vector<std::pair<std::string, int>> photos;
    for (std::size_t unit = 0; unit < MapRenderer::kRoofPhotoCount; ++unit)
        photos.emplace_back(fmt::format("roofPhotos[{}]", unit), int(unit));
    return {
        "building_vertex",
        "building_fragment",
        {{0, sizeof(BuildingGPUVertex), false,
            {{0, 3, offsetof(BuildingGPUVertex, x)}, {1, 3, offsetof(BuildingGPUVertex, nx)},
                {2, 1, offsetof(BuildingGPUVertex, part)}, {3, 3, offsetof(BuildingGPUVertex, r)},
                {4, 3, offsetof(BuildingGPUVertex, wallU)}}}},
        {{"Frame", kFrameBinding}, {"TreeTile", kTileBinding}, {"Roofs", kRoofBinding}},
        std::move(photos),
    };
}

std::shared_ptr<gpu::Texture> makeTexture(gpu::PixelFormat format, std::size_t bytes)
{
    auto texture = gpu::Texture::make(format, 1, 1, std::vector<std::byte>(bytes));
    if (!texture)
        throw gpu::GpuError("texture 1×1 refusée");
    return texture;
}

} // namespace

std::size_t MapRenderer::MeshKeyHash::operator()(const MeshKey& key) const noexcept
{
    Hasher hasher;
    for (const WorldPoint& corner : {key.nw, key.ne, key.se, key.sw}) {
        hasher.combine(corner.x);
        hasher.combine(corner.y);
    }
    hasher.combine(std::int64_t(key.divisions));
    hasher.combine(std::int64_t(key.terrainZoom));
    hasher.combine(std::int64_t(key.terrainGeneration));
    hasher.combine(std::int64_t(key.skirt));
    return hasher.finalize();
}

std::size_t MapRenderer::TreeKeyHash::operator()(const TreeKey& key) const noexcept
{
    Hasher hasher;
    hasher.combine(std::uint64_t(ForestService::KeyHash{}(key.tile)));
    hasher.combine(std::int64_t(key.generation));
    hasher.combine(std::int64_t(key.terrainZoom));
    return hasher.finalize();
}

std::unique_ptr<MapRenderer> MapRenderer::make(gpu::Context& context, const gpu::ShaderLibrary& library,
    SheetCatalog catalog, std::shared_ptr<TileLoader> loader, Camera camera,
    std::shared_ptr<TerrainService> terrain, std::shared_ptr<ForestService> forest,
    std::shared_ptr<BuildingService> buildings)
{
    try {
        std::unique_ptr<MapRenderer> renderer(new MapRenderer(context, std::move(catalog), std::move(loader), camera,
            std::move(terrain), std::move(forest), std::move(buildings)));
        renderer->setUp(library);
        return renderer;
    } catch (const gpu::GpuError&) {
        return nullptr;
    }
}

MapRenderer::MapRenderer(gpu::Context& context, SheetCatalog catalog, std::shared_ptr<TileLoader> loader,
    Camera camera, std::shared_ptr<TerrainService> terrain, std::shared_ptr<ForestService> forest,
    std::shared_ptr<BuildingService> buildings)
    : camera(camera)
    , terrain(std::move(terrain))
    , context_(context)
    , frames_(context)
    , catalog_(std::move(catalog))
    , loader_(std::move(loader))
    , forest_(std::move(forest))
    , buildings_(std::move(buildings))
{
    textures = loader_ ? loader_->cache() : nullptr;
    clock = std::make_shared<platform::SteadyClock>();
}

MapRenderer::~MapRenderer() = default;

void MapRenderer::setUp(const gpu::ShaderLibrary& library)
{
    pipelines_.textured = std::make_unique<gpu::Pipeline>(context_, library, texturedDescriptor());
    pipelines_.solid = std::make_unique<gpu::Pipeline>(context_, library, solidDescriptor());
    pipelines_.tree = std::make_unique<gpu::Pipeline>(context_, library, treeDescriptor());
    pipelines_.building = std::make_unique<gpu::Pipeline>(context_, library, buildingDescriptor());

    blankTexture_ = makeTexture(gpu::PixelFormat::rgba8, 4);

    const auto models = treeModels();
    for (std::size_t model = 0; model < models.size(); ++model) {
        treeMeshes_[model] = {gpu::Buffer::of<TreeVertex>(context_, gpu::BufferKind::vertex, models[model]),
            int(models[model].size())};
    }

    for (int divisions : TileGrid::kDivisionCounts) {
        for (bool skirt : {false, true}) {
            if (skirt && divisions < TileGrid::kMinSkirtDivisions)
                continue;
            const auto indices = TileGrid::indices(divisions, skirt);
            gridIndices_[skirt ? -divisions : divisions]
                = {gpu::Buffer::of<std::uint32_t>(context_, gpu::BufferKind::index, indices), int(indices.size())};
        }
    }

    for (auto& buffer : solidBuffers_)
        buffer = std::make_unique<gpu::Buffer>(
            context_, gpu::BufferKind::vertex, kOverlayVertexCapacity * sizeof(SolidVertex));
}

const std::shared_ptr<gpu::Texture>& MapRenderer::emptyCanopy()
{
    if (!emptyCanopy_)
        emptyCanopy_ = gpu::Texture::make(gpu::PixelFormat::r16, 1, 1, std::vector<std::byte>(2));
    return emptyCanopy_;
}

void MapRenderer::drawableSizeWillChange(Camera::Size viewPixelSize)
{
    camera.viewSize = viewPixelSize;
}

void MapRenderer::draw(Camera::Size viewPixelSize, unsigned framebuffer)
{
    if (!(viewPixelSize.width >= 1) || !(viewPixelSize.height >= 1))
        return;
    camera.viewSize = viewPixelSize;
    drawInto(framebuffer, int(viewPixelSize.width), int(viewPixelSize.height));
}

void MapRenderer::drawInto(unsigned framebuffer, int width, int height)
{
    if (width < 1 || height < 1)
        return;
    preparedFlightCamera.reset();
    const auto clear = Sky::clearColor(camera.pitch);
    encodeFrame({framebuffer, width, height, {float(clear[0]), float(clear[1]), float(clear[2]), float(clear[3])}, 0});
}

std::vector<const MapRenderer::Draw*> MapRenderer::orderedDraws() const
{
    std::vector<const Draw*> ordered;
    ordered.reserve(draws.size());
    for (const Draw& draw : draws)
        ordered.push_back(&draw);
    std::stable_sort(ordered.begin(), ordered.end(),
        [](const Draw* a, const Draw* b) { return a->uniforms.level < b->uniforms.level; });
    std::stable_partition(ordered.begin(), ordered.end(), [](const Draw* draw) { return draw->backdrop; });
    return ordered;
}

void MapRenderer::encodeFrame(const gpu::RenderPass& pass)
{
    const int slot = frames_.beginFrame();
    gpu::Buffer& ring = *solidBuffers_[std::size_t(slot)];

    const std::vector<SolidVertex> sky = preparedFlightSky ? std::move(*preparedFlightSky) : Sky::vertices(camera);
    const std::size_t skyCount = std::min(sky.size(), kOverlayVertexCapacity);
    const std::size_t overlayCount = std::min(solidVertices.size(), kOverlayVertexCapacity - skyCount);
    ring.write(0, std::as_bytes(std::span(sky.data(), skyCount)));
    ring.write(skyCount * sizeof(SolidVertex), std::as_bytes(std::span(solidVertices.data(), overlayCount)));

    std::vector<const Draw*> terrain;
    if (preparedFlightOrder) {
        for (const Draw& draw : *preparedFlightOrder)
            terrain.push_back(&draw);
    } else {
        terrain = orderedDraws();
    }

    {
        gpu::RenderEncoder encoder(frames_, pass);
        if (skyCount > 0) {
            encoder.setPipeline(*pipelines_.solid);
            encoder.setDepthState(kOverlayDepth);
            encoder.setVertexBuffer(0, ring);
            encoder.drawTriangles(0, int(skyCount));
        }

        encoder.setPipeline(*pipelines_.textured);
        encoder.setDepthState(kTerrainDepth);
        encoder.setUniforms(kFrameBinding, FrameUniforms::make(camera, frame, basemap.isPhoto()));
        for (const Draw* draw : terrain) {
            const auto grid = gridIndices_.find(draw->meshKey.skirt ? -draw->divisions : draw->divisions);
            if (grid == gridIndices_.end() || !draw->mesh)
                continue;
            encoder.setDepthState(draw->backdrop ? kOverlayDepth : kTerrainDepth);
            encoder.setVertexBuffer(0, *draw->mesh);
            encoder.setUniforms(kTileBinding, draw->uniforms);
            encoder.setTexture(kTileTextureUnit, draw->texture ? *draw->texture : *blankTexture_);
            const auto& canopy = draw->canopy ? draw->canopy : emptyCanopy();
            if (canopy)
                encoder.setTexture(kCanopyTextureUnit, *canopy);
            encoder.drawIndexedTriangles(*grid->second.buffer, grid->second.count);
        }

        if (!buildingDraws.empty()) {
            encoder.setPipeline(*pipelines_.building);
            encoder.setDepthState(kTerrainDepth);
            for (const BuildingDraw& draw : buildingDraws) {
                if (!draw.buffer)
                    continue;
                encoder.setVertexBuffer(0, *draw.buffer);
                encoder.setUniforms(kTileBinding, draw.uniforms);
                encoder.setBytes(kRoofBinding, std::as_bytes(std::span(draw.roof)));
                for (std::size_t unit = 0; unit < draw.photos.size(); ++unit)
                    encoder.setTexture(int(unit), draw.photos[unit] ? *draw.photos[unit] : *blankTexture_);
                encoder.drawTriangles(draw.firstVertex, draw.endVertex - draw.firstVertex);
            }
        }

        if (!treeDraws.empty()) {
            encoder.setPipeline(*pipelines_.tree);
            encoder.setDepthState(kTerrainDepth);
            for (const TreeDraw& draw : treeDraws) {
                if (!draw.instances)
                    continue;
                // Shape codes come from the network: anything but a known model, NaN included,
                // is drawn with the fallback model rather than indexing out of range.
                const float shape = draw.uniforms.shape;
                const std::size_t model
                    = shape >= 0 && shape < float(treeMeshes_.size()) ? std::size_t(shape) : kFallbackTreeModel;
                encoder.setVertexBuffer(0, *treeMeshes_[model].buffer);
                encoder.setVertexBuffer(1, *draw.instances);
                encoder.setUniforms(kTileBinding, draw.uniforms);
                encoder.drawTriangles(0, treeMeshes_[model].count, draw.count);
            }
        }

        if (overlayCount > 0) {
            encoder.setPipeline(*pipelines_.solid);
            encoder.setDepthState(kSolidDepth);
            encoder.setVertexBuffer(0, ring);
            encoder.drawTriangles(int(skyCount), int(overlayCount));
        }
    }
    frames_.endFrame();
    preparedFlightOrder.reset();
    preparedFlightSky.reset();
}

std::optional<MapRenderer::CanopyLookup> MapRenderer::canopy(int z, int x, int y) const
{
    if (!frameCanopyReady || z < kMinCanopyLevel)
        return std::nullopt;
    const int shift = z - kCanopyGridLevel;
    const auto found = canopyTextures.find({kCanopyGridLevel, x >> shift, y >> shift});
    if (found == canopyTextures.end() || !found->second.texture)
        return std::nullopt;
    const double k = std::exp2(shift);
    const double latitude = WorldPoint{0, ((y >> shift) + 0.5) / std::exp2(kCanopyGridLevel)}.latitude();
    return CanopyLookup{
        found->second.texture,
        {float((x - (x >> shift) * k) / k), float((y - (y >> shift) * k) / k)},
        {float(1 / k), float(1 / k)},
        std::cos(latitude * std::numbers::pi / 180) * kEarthCircumferenceMeters / std::exp2(kCanopyGridLevel)
            / found->second.texture->width(),
    };
}

void MapRenderer::appendDraw(std::shared_ptr<gpu::Texture> texture, bool backdrop, int divisions, int z, int x,
    int y, const std::array<WorldPoint, 4>& corners, float alpha, double level, double minDepth, bool noCanopy)
{
    const double s = camera.scale();
    const bool flat = camera.pitch == 0 || frame.frameHeightScale == 0;
    MeshKey key{corners[0], corners[1], corners[2], corners[3], 1, -1, 0, false};
    std::optional<CanopyLookup> canopyRelief;
    if (!flat) {
        key.divisions = divisions;
        key.terrainZoom = frame.frameTerrainZoom;
        key.terrainGeneration = terrainGeneration;
        if (!noCanopy && !backdrop)
            canopyRelief = canopy(z, x, y);
        if (canopyRelief) {
            double nearest = std::numeric_limits<double>::infinity();
            for (const WorldPoint& corner : corners)
                nearest = std::min(nearest, viewDepth(corner));
            if (frame.frameBumpFade.end <= nearest)
                canopyRelief.reset();
            else
                key.divisions = kCanopyDivisionsAtLevel19 << (19 - std::min(z, 19));
        }
    }
    // On the relief a tile's edge meets neighbours of other levels, or the ancestors standing
    // in beside it, sampled at other points: the skirt closes the cracks between them.
    key.skirt = !flat && key.divisions >= TileGrid::kMinSkirtDivisions;

    TileUniforms uniforms;
    gpu::Float2* offsets[] = {&uniforms.nw, &uniforms.ne, &uniforms.se, &uniforms.sw};
    for (std::size_t corner = 0; corner < corners.size(); ++corner) {
        *offsets[corner] = {
            float((corners[corner].x - camera.center.x) * s), float((corners[corner].y - camera.center.y) * s)};
    }
    uniforms.alpha = alpha;
    uniforms.level = float(level);
    uniforms.minDepth = float(minDepth);
    if (canopyRelief) {
        uniforms.canopyOrigin = canopyRelief->origin;
        uniforms.canopySpan = canopyRelief->span;
        uniforms.canopyTexel = float(canopyRelief->metersPerTexel);
        uniforms.bumps = 1;
    }
    draws.push_back({mesh(key), key, key.divisions, std::move(texture),
        canopyRelief ? canopyRelief->texture : nullptr, uniforms, backdrop});
}

std::shared_ptr<gpu::Buffer> MapRenderer::mesh(const MeshKey& key)
{
    const auto found = meshes.find(key);
    if (found == meshes.end())
        return nullptr;
    found->second.lastUsed = frameNumber;
    return found->second.buffer;
}

std::vector<MeshVertex> MapRenderer::fillMeshVertices(const MeshKey& key, const ElevationSampler& elevation)
{
    const int d = key.divisions;
    const int t = d <= kMaxElevationIntervals ? 1 : d / kMaxElevationIntervals;
    const int n = d / t;

    // Samples of elevation and ground slope on an (n+1)² lattice over the quad. The slope at
    // a sample is a central difference over its lattice neighbours, so the lattice reaches
    // one step beyond each edge: a neighbouring tile of the same size samples the same points
    // along their shared edge and gets the same slopes there, and no seam shows in the shading.
    struct Sample {
        float elevation = 0;
        float slopeEast = 0; // as `MeshVertex::slopeUnits`
        float slopeSouth = 0;
    };
    constexpr std::size_t kMaxSide = kMaxElevationIntervals + 1;
    constexpr std::size_t kMaxRing = kMaxSide + 2;
    const std::size_t side = std::size_t(n + 1);
    std::array<Sample, kMaxSide * kMaxSide> samples{};
    if (elevation && key.terrainZoom >= 0) {
        const auto pointAt = [&](double r, double s) {
            const WorldPoint top{(1 - s) * key.nw.x + s * key.ne.x, (1 - s) * key.nw.y + s * key.ne.y};
            const WorldPoint bottom{(1 - s) * key.sw.x + s * key.se.x, (1 - s) * key.sw.y + s * key.se.y};
            return WorldPoint{top.x * (1 - r) + bottom.x * r, top.y * (1 - r) + bottom.y * r};
        };
        const std::size_t ring = side + 2;
        std::array<WorldPoint, kMaxRing * kMaxRing> points;
        std::array<double, kMaxRing * kMaxRing> heights;
        for (int a = -1; a <= n + 1; ++a) {
            for (int b = -1; b <= n + 1; ++b)
                points[std::size_t(a + 1) * ring + std::size_t(b + 1)] = pointAt(double(a) / n, double(b) / n);
        }
        elevation(std::span(points.data(), ring * ring), std::span(heights.data(), ring * ring));
        const auto height = [&](int a, int b) { return heights[std::size_t(a + 1) * ring + std::size_t(b + 1)]; };

        // Ground metres per world unit, blended from the middles of the north and south edges:
        // a neighbour sharing an edge takes the same value there.
        const double northMeters = pointAt(0, 0.5).metersPerWorldUnit();
        const double southMeters = pointAt(1, 0.5).metersPerWorldUnit();
        // World steps across two lattice intervals along the rows (u) and the columns (v).
        std::array<double, kMaxSide> vx;
        std::array<double, kMaxSide> vy;
        for (int b = 0; b <= n; ++b) {
            const double s = double(b) / n;
            vx[std::size_t(b)] = 2.0 / n * ((key.sw.x - key.nw.x) * (1 - s) + (key.se.x - key.ne.x) * s);
            vy[std::size_t(b)] = 2.0 / n * ((key.sw.y - key.nw.y) * (1 - s) + (key.se.y - key.ne.y) * s);
        }
        for (int a = 0; a <= n; ++a) {
            const double r = double(a) / n;
            const double meters = northMeters + (southMeters - northMeters) * r;
            const double ux = 2.0 / n * ((key.ne.x - key.nw.x) * (1 - r) + (key.se.x - key.sw.x) * r);
            const double uy = 2.0 / n * ((key.ne.y - key.nw.y) * (1 - r) + (key.se.y - key.sw.y) * r);
            for (int b = 0; b <= n; ++b) {
                const double vxb = vx[std::size_t(b)];
                const double vyb = vy[std::size_t(b)];
                // Rises across the two steps, solved for the eastward and southward slopes.
                const double du = height(a, b + 1) - height(a, b - 1);
                const double dv = height(a + 1, b) - height(a - 1, b);
                const double determinant = (ux * vyb - uy * vxb) * meters;
                Sample& sample = samples[std::size_t(a) * side + std::size_t(b)];
                sample.elevation = float(height(a, b));
                if (determinant != 0) {
                    const double inverse = 1 / determinant;
                    sample.slopeEast = MeshVertex::slopeUnits((du * vyb - dv * uy) * inverse);
                    sample.slopeSouth = MeshVertex::slopeUnits((ux * dv - vxb * du) * inverse);
                }
            }
        }
    }

    // Each vertex blends the four samples around it, first across rows, then along them.
    struct Step {
        int cell = 0;
        float fraction = 0;
        std::uint16_t place = 0;
    };
    std::vector<Step> steps(std::size_t(d + 1));
    for (int j = 0; j <= d; ++j) {
        const int cell = std::min(j / t, n - 1);
        steps[std::size_t(j)] = {cell, float(j - cell * t) / float(t), MeshVertex::place(float(j) / float(d))};
    }
    std::array<Sample, kMaxSide> row;
    std::vector<MeshVertex> vertices;
    vertices.reserve(TileGrid::vertexCount(d, key.skirt));
    for (int i = 0; i <= d; ++i) {
        const Step down = steps[std::size_t(i)];
        const Sample* upper = samples.data() + std::size_t(down.cell) * side;
        const Sample* lower = upper + side;
        const float fi = down.fraction;
        for (std::size_t b = 0; b < side; ++b) {
            row[b] = {upper[b].elevation + (lower[b].elevation - upper[b].elevation) * fi,
                upper[b].slopeEast + (lower[b].slopeEast - upper[b].slopeEast) * fi,
                upper[b].slopeSouth + (lower[b].slopeSouth - upper[b].slopeSouth) * fi};
        }
        for (int j = 0; j <= d; ++j) {
            const Step across = steps[std::size_t(j)];
            const Sample& west = row[std::size_t(across.cell)];
            const Sample& east = row[std::size_t(across.cell) + 1];
            const float fj = across.fraction;
            vertices.push_back({across.place, down.place, west.elevation + (east.elevation - west.elevation) * fj,
                std::int16_t(west.slopeEast + (east.slopeEast - west.slopeEast) * fj),
                std::int16_t(west.slopeSouth + (east.slopeSouth - west.slopeSouth) * fj)});
        }
    }
    if (key.skirt) {
        // Deep enough for the widest gap a neighbour's coarser sampling leaves on steep
        // ground: a cell's width.
        const double cellMeters = std::hypot(key.ne.x - key.nw.x, key.ne.y - key.nw.y) * key.nw.metersPerWorldUnit() / d;
        const float drop = float(std::max(kSkirtDropMeters, cellMeters));
        const auto lower = [&](int i, int j) {
            MeshVertex vertex = vertices[std::size_t(i) * std::size_t(d + 1) + std::size_t(j)];
            vertex.elevation -= drop;
            vertices.push_back(vertex);
        };
        for (int j = 0; j <= d; ++j)
            lower(0, j);
        for (int j = 0; j <= d; ++j)
            lower(d, j);
        for (int i = 0; i <= d; ++i)
            lower(i, 0);
        for (int i = 0; i <= d; ++i)
            lower(i, d);
    }
    return vertices;
}

void MapRenderer::buildTerrainMesh()
{
    std::vector<MeshKey> missing;
    std::unordered_set<MeshKey, MeshKeyHash> seen;
    for (const Draw& draw : draws) {
        if (!draw.mesh && seen.insert(draw.meshKey).second)
            missing.push_back(draw.meshKey);
    }
    if (missing.empty())
        return;
    // The service's tables are written on this thread only, so nothing changes them while
    // the workers read them and this thread waits.
    const TerrainService* elevations = terrain.get();
    const auto fill = [elevations](const MeshKey& key) {
        if (elevations == nullptr)
            return fillMeshVertices(key, nullptr);
        return fillMeshVertices(key, [elevations, zoom = key.terrainZoom](auto points, auto heights) {
            elevations->elevations(points, zoom, heights);
        });
    };
    std::vector<std::vector<MeshVertex>> lists;
    if (missing.size() < kParallelMeshThreshold)
        std::transform(missing.begin(), missing.end(), std::back_inserter(lists), fill);
    else
        lists = parallelMap(missing, fill);

    for (std::size_t at = 0; at < missing.size(); ++at) {
        try {
            std::shared_ptr<gpu::Buffer> buffer
                = gpu::Buffer::of<MeshVertex>(context_, gpu::BufferKind::vertex, lists[at]);
            meshes[missing[at]] = {std::move(buffer), frameNumber};
        } catch (const gpu::GpuError&) {
            // Left absent: the draw is skipped and the mesh tried again next frame.
        }
    }
    for (Draw& draw : draws) {
        if (!draw.mesh)
            draw.mesh = mesh(draw.meshKey);
    }
}

void MapRenderer::trimMeshes()
{
    if (meshes.size() <= kMeshCacheTrimThreshold)
        return;
    std::erase_if(meshes, [this](const auto& entry) { return entry.second.lastUsed < frameNumber - kMeshKeepFrames; });
}

double MapRenderer::elevationAt(WorldPoint point) const
{
    return terrain ? terrain->elevationAt(point.x, point.y, frame.frameTerrainZoom) : 0;
}

double MapRenderer::reliefHeight(WorldPoint point) const
{
    if (frame.frameHeightScale == 0)
        return 0;
    return (elevationAt(point) - frame.frameBaseElevation) * frame.frameHeightScale;
}

bool MapRenderer::isQuadVisible(const std::array<WorldPoint, 4>& corners) const
{
    const double s = camera.scale();
    const double f = camera.focalDistance();
    const double sinPitch = std::sin(camera.pitch);
    const double cosPitch = std::cos(camera.pitch);
    const double width = camera.viewSize.width;
    const double height = camera.viewSize.height;
    double minX = std::numeric_limits<double>::infinity();
    double maxX = -minX;
    double minY = minX;
    double maxY = -minX;
    for (const WorldPoint& corner : corners) {
        const double dx = (corner.x - camera.center.x) * s;
        const double dy = (corner.y - camera.center.y) * s;
        const double forward = dy * frame.frameCos - dx * frame.frameSin;
        const double h = reliefHeight(corner);
        const double z = f - forward * sinPitch - h * cosPitch;
        if (z <= Camera::kNearDepthShare * f)
            return true;
        const double x = f * (dy * frame.frameSin + dx * frame.frameCos) / z + width / 2;
        const double y = f * (forward * cosPitch - h * sinPitch) / z + height / 2;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    constexpr double kVisibilityMarginShare = 0.3;
    const double margin = kVisibilityMarginShare * height;
    return !(minX > width + margin || maxX < -margin || minY > height + margin || maxY < -margin);
}

double MapRenderer::viewDepth(WorldPoint point) const
{
    const double s = camera.scale();
    const double dx = (point.x - camera.center.x) * s;
    const double dy = (point.y - camera.center.y) * s;
    const double forward = dy * frame.frameCos - dx * frame.frameSin;
    return camera.focalDistance() - forward * std::sin(camera.pitch);
}

} // namespace velorin
