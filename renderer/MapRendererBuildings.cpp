// The buildings of a frame: their vertex buffers by tile standing on the relief, one draw a
// tile quarter, and the aerial photos their roofs take near the camera.

#include "renderer/MapRenderer.h"

#include "map-data/TerrainService.h"
#include "map-data/TextureCache.h"
#include "platform/gpu/GpuError.h"
#include "renderer/ParallelMap.h"
#include "renderer/RoofPieces.h"
#include "renderer/TileCover.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace velorin {

namespace {

constexpr std::array<float, 3> kSlateRoof{0.33f, 0.34f, 0.37f};
constexpr std::array<float, 3> kTileRoof{0.62f, 0.33f, 0.22f};
// The level of a roof photo cell: the finest the roofs use.
constexpr int kRoofCellLevel = 18;

// The distance from p to the segment a–b, in world units.
double distanceToSegment(WorldPoint p, WorldPoint a, WorldPoint b)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    const double t = lengthSquared > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared, 0.0, 1.0) : 0;
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

} // namespace

MapRenderer::BuildingQuarters MapRenderer::buildingVertices(const std::vector<BuildingService::Vertex>& mesh,
    const ForestService::Key& tile, const ElevationSampler& elevation)
{
    const WorldPoint corner = tileCorner(tile);
    const double worldPerMeter = 1 / tileMetersPerWorldUnit(tile);
    const double half = tileMetersPerWorldUnit(tile) / std::exp2(double(tile.z)) / 2;

    // Feet come in single precision: the half is compared in it too.
    const auto quarterAt = [halfWidth = float(half)](float x, float y) {
        return std::size_t((x >= halfWidth ? 1 : 0) + (y >= halfWidth ? 2 : 0));
    };
    const auto quarterOf = [&](const BuildingService::Vertex& vertex) { return quarterAt(vertex.footX, vertex.footY); };
    // A roof's photo is laid out by quarter: each roof triangle goes to the quarter it lies
    // in, cut along the quarter lines when it crosses them, so that every roof fragment
    // finds the photo under it.
    const auto isRoofTriangle = [&](std::size_t at) {
        return at % 3 == 0 && at + 2 < mesh.size() && mesh[at].part > 0.5f && mesh[at + 1].part > 0.5f
            && mesh[at + 2].part > 0.5f;
    };
    const auto roofPieces = [&](std::size_t at, auto each) {
        const RoofPieces::Triangle triangle{mesh[at], mesh[at + 1], mesh[at + 2]};
        const auto quarterOfPiece = [&](const RoofPieces::Triangle& piece) {
            return quarterAt((piece[0].x + piece[1].x + piece[2].x) / 3, (piece[0].y + piece[1].y + piece[2].y) / 3);
        };
        if (!RoofPieces::crossesQuarterLines(triangle, float(half))) {
            each(triangle, quarterOfPiece(triangle));
            return;
        }
        // Held by name: a loop over the temporary's pieces would outlive it.
        const RoofPieces pieces = RoofPieces::of(triangle, float(half));
        for (const auto& piece : pieces.triangles())
            each(piece, quarterOfPiece(piece));
    };

    // Runs of vertices are counted by quarter, then converted straight into their places,
    // each on one thread. The vertices of one footprint follow each other and share its
    // foot, so a run samples the ground once a footprint. Runs hold whole triangles.
    constexpr std::size_t kRun = kParallelBuildingThreshold - kParallelBuildingThreshold % 3;
    std::vector<std::size_t> runs;
    for (std::size_t first = 0; first < mesh.size(); first += kRun)
        runs.push_back(first);
    const auto eachRun = [&](auto work) {
        if (mesh.size() < kParallelBuildingThreshold) {
            std::vector<decltype(work(0))> results;
            std::transform(runs.begin(), runs.end(), std::back_inserter(results), work);
            return results;
        }
        return parallelMap(runs, work);
    };
    const auto counts = eachRun([&](std::size_t first) {
        std::array<int, 4> count{};
        for (std::size_t at = first; at < std::min(first + kRun, mesh.size());) {
            if (isRoofTriangle(at)) {
                roofPieces(at, [&](const auto&, std::size_t quarter) { count[quarter] += 3; });
                at += 3;
            } else {
                ++count[quarterOf(mesh[at])];
                ++at;
            }
        }
        return count;
    });

    BuildingQuarters quarters;
    for (std::size_t q = 0; q < 4; ++q) {
        int total = 0;
        for (const auto& count : counts)
            total += count[q];
        quarters.starts[q + 1] = quarters.starts[q] + total;
    }
    // Where each run's vertices of each quarter go.
    std::vector<std::array<int, 4>> places(runs.size());
    for (std::size_t q = 0; q < 4; ++q) {
        int next = quarters.starts[q];
        for (std::size_t run = 0; run < runs.size(); ++run) {
            places[run][q] = next;
            next += counts[run][q];
        }
    }
    quarters.vertices.resize(std::size_t(quarters.starts[4]));
    eachRun([&](std::size_t first) {
        const std::size_t end = std::min(first + kRun, mesh.size());
        std::vector<WorldPoint> feet;
        std::vector<std::uint32_t> footOf(end - first);
        for (std::size_t at = first; at < end; ++at) {
            const BuildingService::Vertex& vertex = mesh[at];
            if (at == first || vertex.footX != mesh[at - 1].footX || vertex.footY != mesh[at - 1].footY)
                feet.push_back({corner.x + double(vertex.footX) * worldPerMeter, corner.y + double(vertex.footY) * worldPerMeter});
            footOf[at - first] = std::uint32_t(feet.size() - 1);
        }
        std::vector<double> grounds(feet.size(), 0.0);
        if (elevation)
            elevation(feet, grounds);
        std::array<int, 4> place = places[first / kRun];
        const auto convert = [&](const BuildingService::Vertex& vertex, double ground, std::size_t quarter) {
            const auto colour = vertex.color[0] >= 0 ? std::array{vertex.color[0], vertex.color[1], vertex.color[2]}
                : ground > kSlateRoofsAboveMeters                 ? kSlateRoof
                                                                  : kTileRoof;
            quarters.vertices[std::size_t(place[quarter]++)] = {vertex.x, vertex.y, float(ground + double(vertex.z)),
                vertex.nx, vertex.ny, vertex.nz, vertex.part, colour[0], colour[1], colour[2], vertex.wallU, vertex.z,
                vertex.wallLength};
        };
        for (std::size_t at = first; at < end;) {
            const double ground = grounds[footOf[at - first]];
            if (isRoofTriangle(at)) {
                roofPieces(at, [&](const auto& piece, std::size_t quarter) {
                    for (const BuildingService::Vertex& vertex : piece)
                        convert(vertex, ground, quarter);
                });
                at += 3;
            } else {
                convert(mesh[at], ground, quarterOf(mesh[at]));
                ++at;
            }
        }
        return true;
    });
    return quarters;
}

MapRenderer::RoofImagery MapRenderer::roofImagery(
    const ForestService::Key& tile, int column, int row, int level, double halfTileMeters)
{
    RoofImagery imagery;
    imagery.photos.fill(blankTexture_);
    const int source = basemap.index();
    level = std::min(level, basemap.maxLevel());
    const int lowest = std::max(int(tile.z) - 1, basemap.minLevel());
    const bool photos = basemap.isPhoto() && !basemap.isApple() && tile.z < level;
    imagery.roof[0] = {float(halfTileMeters / kRoofCellsPerSide), photos ? 1.0f : 0.0f, float(column * halfTileMeters),
        float(row * halfTileMeters)};
    if (!photos)
        return imagery;

    const std::int64_t cellsPerTile = std::int64_t(1) << (kRoofCellLevel - tile.z);
    const std::int64_t cellsPerQuarter = cellsPerTile / 2;
    for (int i = 0; i < kRoofCellsPerSide; ++i) {
        for (int j = 0; j < kRoofCellsPerSide; ++j) {
            const std::int64_t x = cellsPerTile * tile.x + cellsPerQuarter * column + j;
            const std::int64_t y = cellsPerTile * tile.y + cellsPerQuarter * row + i;
            const std::size_t cell = std::size_t(i * kRoofCellsPerSide + j);
            if (preparingFlightFrame) {
                const int shift = kRoofCellLevel - level;
                flightRoofKeys.push_back(TileKey::webTile(source, level, x >> shift, y >> shift));
            }
            for (int at = level; at >= lowest; --at) {
                const std::int64_t d = std::int64_t(1) << (kRoofCellLevel - at);
                const TileKey key = TileKey::webTile(source, at, x / d, y / d);
                const auto entry = textures ? textures->entry(key) : std::nullopt;
                if (entry && entry->texture) {
                    imagery.roof[cell + 1] = {float(double(x % d) / double(d)), float(double(y % d) / double(d)),
                        float(1 / double(d)), 0};
                    imagery.photos[cell] = entry->texture;
                    break;
                }
                if (at == level)
                    lowPriority.push_back(key);
            }
        }
    }
    return imagery;
}

void MapRenderer::prepareBuildings(const WorldRect& area, bool requests)
{
    if (!buildings_)
        return;
    if (requests)
        buildings_->request(area);

    const WorldPoint near = camera.worldPoint({camera.viewSize.width / 2, camera.viewSize.height});
    const WorldPoint centre = camera.center;
    const auto& tiles = buildings_->tiles();
    const TerrainService* elevations = terrain.get();
    const int zoom = frame.frameTerrainZoom;
    ElevationSampler sampler;
    if (elevations) {
        sampler = [elevations, zoom](auto points, auto heights) { elevations->elevations(points, zoom, heights); };
    }
    for (const ForestService::Key& key : tileCover(area)) {
        const TreeKey bufferKey{key, terrainGeneration, frame.frameTerrainZoom};
        auto cached = buildingBuffers.find(bufferKey);
        if (cached == buildingBuffers.end()) {
            const auto mesh = tiles.find(key);
            if (mesh == tiles.end())
                continue;
            BuildingBuffer buffer;
            try {
                const BuildingQuarters quarters = buildingVertices(mesh->second, key, sampler);
                buffer.starts = quarters.starts;
                if (!quarters.vertices.empty())
                    buffer.buffer = gpu::Buffer::of<BuildingGPUVertex>(context_, gpu::BufferKind::vertex, quarters.vertices);
            } catch (const gpu::GpuError&) {
                // Made again next frame.
                continue;
            }
            cached = buildingBuffers.emplace(bufferKey, std::move(buffer)).first;
        }
        cached->second.lastUsed = frameNumber;
        if (!cached->second.buffer)
            continue;

        const TreeTileUniforms uniforms = tileUniforms(key);
        const WorldPoint corner = tileCorner(key);
        const double width = 1 / std::exp2(double(key.z));
        const double metersPerUnit = tileMetersPerWorldUnit(key);
        const auto& starts = cached->second.starts;
        for (int q = 0; q < 4; ++q) {
            if (starts[std::size_t(q) + 1] == starts[std::size_t(q)])
                continue;
            const int column = q % 2;
            const int row = q / 2;
            const WorldPoint quarterCentre{corner.x + (column + 0.5) * width / 2, corner.y + (row + 0.5) * width / 2};
            const double meters = distanceToSegment(quarterCentre, near, centre) * metersPerUnit;
            const int level = meters < kNearRoofMeters ? kNearRoofLevel : kNearRoofLevel - 1;
            RoofImagery imagery = roofImagery(key, column, row, level, metersPerUnit * width / 2);
            buildingDraws.push_back({cached->second.buffer, starts[std::size_t(q)], starts[std::size_t(q) + 1], uniforms,
                imagery.roof, std::move(imagery.photos)});
        }
    }

    if (buildingBuffers.size() > kTreeBufferTrimThreshold) {
        std::erase_if(buildingBuffers,
            [this](const auto& entry) { return frameNumber - entry.second.lastUsed >= kTreeBufferKeepFrames; });
    }
}

} // namespace velorin
