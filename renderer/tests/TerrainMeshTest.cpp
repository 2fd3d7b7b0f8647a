#include "RendererTestSupport.h"

#include "renderer/TileGrid.h"

#include <algorithm>
#include <atomic>
#include <cmath>

using testing_support::RendererTest;
using velorin::MapRenderer;
using velorin::MeshVertex;
using velorin::WorldPoint;

namespace {

MapRenderer::MeshKey keyFor(const std::array<WorldPoint, 4>& corners, int divisions, int terrainZoom, bool skirt)
{
    return {corners[0], corners[1], corners[2], corners[3], divisions, terrainZoom, 0, skirt};
}

} // namespace

using TerrainMesh = RendererTest;

TEST_F(TerrainMesh, AFlatMapDrawsEveryTileAsOneFlatQuad)
{
    struct Case {
        double pitch;
        double heightScale;
    };
    for (auto c : {Case{0, 0.5}, Case{0.8, 0}}) {
        renderer->camera.pitch = c.pitch;
        renderer->frame.frameHeightScale = c.heightScale;
        renderer->frame.frameTerrainZoom = 11;
        renderer->terrainGeneration = 4;
        renderer->draws.clear();
        renderer->appendDraw(plain({0, 0, 0, 255}), false, 64, 14, 1, 2, tileCorners(14, 1, 2), 1, 14, 0, false);
        const MapRenderer::MeshKey& key = renderer->draws[0].meshKey;
        EXPECT_EQ(renderer->draws[0].divisions, 1);
        EXPECT_EQ(key.divisions, 1);
        EXPECT_EQ(key.terrainZoom, -1);
        EXPECT_EQ(key.terrainGeneration, 0);
        EXPECT_FALSE(key.skirt);
    }
}

TEST_F(TerrainMesh, ReliefKeepsTheRequestedDivisionsAndTheFrameElevationZoomWithASkirt)
{
    renderer->camera.pitch = 0.8;
    renderer->frame.frameHeightScale = 0.5;
    renderer->frame.frameTerrainZoom = 11;
    renderer->terrainGeneration = 4;
    renderer->appendDraw(plain({0, 0, 0, 255}), false, 32, 14, 1, 2, tileCorners(14, 1, 2), 0.5f, 14, 7, false);
    const MapRenderer::Draw& draw = renderer->draws[0];
    MapRenderer::MeshKey expected = keyFor(tileCorners(14, 1, 2), 32, 11, true);
    expected.terrainGeneration = 4;
    EXPECT_EQ(draw.meshKey, expected);
    EXPECT_EQ(draw.uniforms.alpha, 0.5f);
    EXPECT_EQ(draw.uniforms.minDepth, 7);
    EXPECT_FALSE(draw.canopy);
    EXPECT_FALSE(draw.mesh);
}

TEST_F(TerrainMesh, CanopyReliefGivesFineSkirtedMeshesUntilItFadesOut)
{
    renderer->camera.center = {0.5, 0.5};
    renderer->camera.zoom = 17;
    renderer->camera.viewSize = {400, 300};
    renderer->camera.pitch = 1.0;
    renderer->frame.frameHeightScale = 0.5;
    renderer->frame.frameTerrainZoom = 13;
    renderer->frame.frameBumpFade = {1000, 1e9};
    renderer->frameCanopyReady = true;
    // The zoom-15 canopy tile under the view centre.
    renderer->canopyTextures[{15, 16384, 16384}]
        = {gpu::Texture::make(gpu::PixelFormat::r16, 4, 4, std::vector<std::byte>(32)), 0};

    struct Case {
        int z;
        int divisions;
    };
    // Tile (z, x, y) asking for 16 divisions.
    const auto appendTile = [&](int z, int x, int y, bool backdrop, bool noCanopy) {
        renderer->appendDraw(plain({0, 0, 0, 255}), backdrop, 16, z, x, y, tileCorners(z, x, y), 1, z, 0, noCanopy);
    };
    for (auto c : {Case{17, 256}, Case{18, 128}, Case{19, 64}, Case{21, 64}}) {
        const int x = 16384 << (c.z - 15);
        renderer->draws.clear();
        appendTile(c.z, x + 1, x + 2, false, false);
        const MapRenderer::Draw& draw = renderer->draws[0];
        EXPECT_EQ(draw.divisions, c.divisions) << "z " << c.z;
        EXPECT_TRUE(draw.meshKey.skirt);
        EXPECT_TRUE(draw.canopy);
        EXPECT_EQ(draw.uniforms.bumps, 1);
        const float k = float(1 << (c.z - 15));
        EXPECT_EQ(draw.uniforms.canopyOrigin, (gpu::Float2{1 / k, 2 / k}));
        EXPECT_EQ(draw.uniforms.canopySpan, (gpu::Float2{1 / k, 1 / k}));
    }

    renderer->draws.clear();
    appendTile(17, 65536, 65536, false, false);
    renderer->buildTerrainMesh();
    ASSERT_TRUE(renderer->draws[0].mesh);
    EXPECT_EQ(renderer->draws[0].mesh->size(), (257u * 257 + 4 * 257) * sizeof(MeshVertex));

    // No canopy for a backdrop, where it is forbidden, or once the fade ends before the tile:
    // the plain relief mesh, skirted all the same.
    renderer->draws.clear();
    appendTile(17, 65536, 65536, true, false);
    appendTile(17, 65536, 65536, false, true);
    renderer->frame.frameBumpFade = {0, 10};
    appendTile(17, 65536, 65536, false, false);
    for (const MapRenderer::Draw& draw : renderer->draws) {
        EXPECT_EQ(draw.divisions, 16);
        EXPECT_TRUE(draw.meshKey.skirt);
        EXPECT_FALSE(draw.canopy);
    }
}

TEST_F(TerrainMesh, ElevationIsSampledOnAtMostSeventeenPointsASideAndInterpolated)
{
    // A tilted plane, which bilinear interpolation reproduces exactly.
    const auto corners = tileCorners(10, 500, 300);
    const auto plane = [&](WorldPoint p) { return 100 + 5e6 * (p.x - corners[0].x) + 2e6 * (p.y - corners[0].y); };
    struct Case {
        int divisions;
        int samples;
    };
    // The lattice and the ring around it that its slopes are taken across.
    for (auto c : {Case{1, 16}, Case{16, 361}, Case{48, 361}, Case{256, 361}}) {
        std::atomic<int> calls = 0;
        const auto vertices = MapRenderer::fillMeshVertices(keyFor(corners, c.divisions, 9, false), pointwise([&](WorldPoint p) {
            ++calls;
            return plane(p);
        }));
        EXPECT_EQ(calls, c.samples) << c.divisions;
        ASSERT_EQ(vertices.size(), velorin::TileGrid::vertexCount(c.divisions, false));
        const int d = c.divisions;
        for (int i : {0, d / 3, d}) {
            for (int j : {0, d / 2 + 1 > d ? d : d / 2 + 1, d}) {
                const MeshVertex& vertex = vertices[std::size_t(i * (d + 1) + j)];
                EXPECT_NEAR(vertex.u / 65535.0, double(j) / d, 1e-5);
                EXPECT_NEAR(vertex.v / 65535.0, double(i) / d, 1e-5);
                const WorldPoint at{corners[0].x + (corners[1].x - corners[0].x) * j / d,
                    corners[0].y + (corners[3].y - corners[0].y) * i / d};
                EXPECT_NEAR(vertex.elevation, plane(at), 1e-2) << d << ": " << i << ", " << j;
                const double meters = at.metersPerWorldUnit();
                const double slope = MeshVertex::kMaxSlope / 32767.0;
                EXPECT_NEAR(vertex.slopeEast * slope, 5e6 / meters, slope) << d << ": " << i << ", " << j;
                EXPECT_NEAR(vertex.slopeSouth * slope, 2e6 / meters, slope) << d << ": " << i << ", " << j;
            }
        }
    }
}

TEST_F(TerrainMesh, NeighbouringTilesAgreeOnElevationAndSlopeAlongTheirSharedEdges)
{
    const auto hills = [](WorldPoint p) { return 1200 + 600 * std::sin(p.x * 40000) * std::cos(p.y * 30000); };
    for (int d : {16, 64}) {
        const int side = d + 1;
        const auto mesh = [&](int x, int y) {
            return MapRenderer::fillMeshVertices(keyFor(tileCorners(13, x, y), d, 11, false), pointwise(hills));
        };
        const auto centre = mesh(4200, 2900);
        const auto east = mesh(4201, 2900);
        const auto south = mesh(4200, 2901);
        double largestSlope = 0;
        for (int k = 0; k <= d; ++k) {
            const MeshVertex& eastEdge = centre[std::size_t(k * side + d)];
            const MeshVertex& southEdge = centre[std::size_t(d * side + k)];
            for (const auto& [mine, theirs] : {std::pair{eastEdge, east[std::size_t(k * side)]},
                     std::pair{southEdge, south[std::size_t(k)]}}) {
                EXPECT_EQ(mine.elevation, theirs.elevation) << d << ", " << k;
                EXPECT_EQ(mine.slopeEast, theirs.slopeEast) << d << ", " << k;
                EXPECT_EQ(mine.slopeSouth, theirs.slopeSouth) << d << ", " << k;
            }
            largestSlope = std::max({largestSlope, std::abs(eastEdge.slopeEast * MeshVertex::kMaxSlope / 32767.0),
                std::abs(southEdge.slopeSouth * MeshVertex::kMaxSlope / 32767.0)});
        }
        EXPECT_GT(largestSlope, 0.05) << "the hills slope";
    }
}

TEST_F(TerrainMesh, SkirtsRepeatTheEdgesFortyMetresLowerAndAFlatKeyStaysAtZero)
{
    const auto corners = tileCorners(12, 7, 9);
    const auto hill = [](WorldPoint) { return 850.0; };
    const int d = 64;
    struct Case {
        int terrainZoom;
        bool sampler;
        float ground;
    };
    for (auto c : {Case{11, true, 850}, Case{-1, true, 0}, Case{11, false, 0}}) {
        const auto vertices = MapRenderer::fillMeshVertices(keyFor(corners, d, c.terrainZoom, true),
            c.sampler ? pointwise(hill) : nullptr);
        ASSERT_EQ(vertices.size(), std::size_t(65 * 65 + 4 * 65));
        const std::size_t grid = 65 * 65;
        for (std::size_t at = 0; at < vertices.size(); ++at)
            ASSERT_EQ(vertices[at].elevation, at < grid ? c.ground : c.ground - 40) << at;
        // Top row, bottom row, left column, right column.
        EXPECT_EQ(vertices[grid + 3].u, vertices[3].u);
        EXPECT_EQ(vertices[grid + 65 + 3].v, 65535);
        EXPECT_EQ(vertices[grid + 130 + 5].u, 0);
        EXPECT_EQ(vertices[grid + 130 + 5].v, vertices[5 * 65].v);
        EXPECT_EQ(vertices[grid + 195 + 5].u, 65535);
    }
}

TEST_F(TerrainMesh, MissingMeshesAreBuiltOncePerKeyAndFoundInTheCacheAfterwards)
{
    renderer->camera.zoom = 12;
    renderer->frameNumber = 7;
    // Six draws over five distinct tiles: enough to fill them in parallel.
    for (int x : {0, 1, 2, 3, 4, 2})
        renderer->appendDraw(plain({0, 0, 0, 255}), false, 16, 12, x, 0, tileCorners(12, x, 0), 1, 12, 0, false);
    renderer->buildTerrainMesh();
    EXPECT_EQ(renderer->meshes.size(), 5u);
    for (const MapRenderer::Draw& draw : renderer->draws) {
        ASSERT_TRUE(draw.mesh);
        EXPECT_EQ(draw.mesh->size(), 4 * sizeof(MeshVertex));
    }
    EXPECT_EQ(renderer->draws[2].mesh, renderer->draws[5].mesh);

    renderer->frameNumber = 8;
    renderer->draws.clear();
    renderer->appendDraw(plain({0, 0, 0, 255}), false, 16, 12, 3, 0, tileCorners(12, 3, 0), 1, 12, 0, false);
    EXPECT_TRUE(renderer->draws[0].mesh);
    EXPECT_EQ(renderer->meshes.at(renderer->draws[0].meshKey).lastUsed, 8);
}

TEST_F(TerrainMesh, TrimmingAFullCacheKeepsTheMeshesUsedInTheLastThreeHundredFrames)
{
    renderer->frameNumber = 1000;
    const auto corners = tileCorners(3, 0, 0);
    for (int at = 0; at < 3001; ++at)
        renderer->meshes[keyFor(corners, at, -1, false)] = {nullptr, at < 2 ? 699 : 700};
    renderer->trimMeshes();
    EXPECT_EQ(renderer->meshes.size(), 2999u);

    // At the threshold nothing goes.
    renderer->meshes.clear();
    for (int at = 0; at < 3000; ++at)
        renderer->meshes[keyFor(corners, at, -1, false)] = {nullptr, 0};
    renderer->trimMeshes();
    EXPECT_EQ(renderer->meshes.size(), 3000u);
}

TEST_F(TerrainMesh, QuadVisibilityAndViewDepthFollowTheCamera)
{
    renderer->camera.center = {0.5, 0.5};
    renderer->camera.zoom = 10; // 262,144 pixels across the world
    renderer->camera.viewSize = {400, 300};
    renderer->camera.focalLength = 1;
    renderer->camera.pitch = 1.0;
    const double pixel = 1.0 / 262'144;
    const auto quad = [&](double x0, double y0, double x1, double y1) {
        const double cx = 0.5 + x0 * pixel, cy = 0.5 + y0 * pixel, ex = 0.5 + x1 * pixel, ey = 0.5 + y1 * pixel;
        return std::array<WorldPoint, 4>{{{cx, cy}, {ex, cy}, {ex, ey}, {cx, ey}}};
    };
    struct Case {
        const char* what;
        std::array<WorldPoint, 4> corners;
        bool visible;
    };
    const Case cases[] = {
        {"around the centre", quad(-10, -10, 10, 10), true},
        {"far to the right", quad(5000, -10, 5100, 10), false},
        {"inside the left margin", quad(-300, -0.5, -285, 0.5), true},
        {"beyond the left margin", quad(-320, -0.5, -295, 0.5), false},
        {"under the eye", quad(-10, 340, 10, 360), true},
        {"beyond the bottom edge", quad(-10, 250, 10, 260), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(renderer->isQuadVisible(c.corners), c.visible) << c.what;

    // f = 300: a point 100 pixels ahead is sin(1)·100 deeper; relief is ignored.
    EXPECT_NEAR(renderer->viewDepth({0.5, 0.5 - 100 * pixel}), 300 + std::sin(1.0) * 100, 1e-6);
    renderer->frame.frameCos = 0;
    renderer->frame.frameSin = 1; // facing east
    EXPECT_NEAR(renderer->viewDepth({0.5 + 100 * pixel, 0.5}), 300 + std::sin(1.0) * 100, 1e-6);
}
