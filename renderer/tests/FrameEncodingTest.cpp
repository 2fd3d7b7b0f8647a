#include "RendererTestSupport.h"

#include "platform/gpu/Buffer.h"
#include "renderer/Sky.h"
#include "renderer/TreeInstance.h"

#include <cmath>

using testing_support::RendererTest;
using testing_support::Rgba;
using velorin::Camera;
using velorin::MapRenderer;
using velorin::SolidVertex;
using velorin::WorldPoint;

namespace {

Rgba bytes(const std::array<double, 4>& colour)
{
    return {int(std::lround(colour[0] * 255)), int(std::lround(colour[1] * 255)), int(std::lround(colour[2] * 255)),
        int(std::lround(colour[3] * 255))};
}

// Two triangles over the whole frame at an NDC depth, in an opaque colour.
std::vector<SolidVertex> fullFrame(float z, Rgba colour)
{
    const float r = colour[0] / 255.0f, g = colour[1] / 255.0f, b = colour[2] / 255.0f;
    std::vector<SolidVertex> quad;
    for (auto [x, y] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, -1}, {1, 1}, {-1, 1}})
        quad.push_back({float(x), float(y), z, r, g, b, 1});
    return quad;
}

} // namespace

using FrameEncoding = RendererTest;

TEST_F(FrameEncoding, AFlatFrameClearsToTheFlatColourAndDrawsATileTexelForPixel)
{
    // A 64 × 32 view whose left half is tile (12, 100, 200), drawn 32 pixels wide at zoom 9.
    renderer->camera.zoom = 9;
    renderer->camera.center = {101.0 / 4096, 200.5 / 4096};
    const auto pattern = [](int x, int y) { return Rgba{x * 8, y * 8, 255 - x * 4, 255}; };
    renderer->appendDraw(texture(32, 32, pattern), false, 16, 12, 100, 200, tileCorners(12, 100, 200), 1, 12, 0, false);
    ASSERT_EQ(renderer->draws.size(), 1u);
    EXPECT_EQ(renderer->draws[0].divisions, 1);
    renderer->buildTerrainMesh();
    ASSERT_TRUE(renderer->draws[0].mesh);

    const auto rgba = drawFrame(64, 32);
    const Rgba clear = bytes(velorin::Sky::clearColor(0));
    EXPECT_EQ(clear, (Rgba{28, 37, 56, 255}));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) {
            const Rgba expected = x < 32 ? pattern(x, y) : clear;
            ASSERT_TRUE(near(pixel(rgba, 64, x, y), expected)) << "pixel " << x << ", " << y;
        }
    }
}

TEST_F(FrameEncoding, APitchedFrameDrawsTheSkyAboveTheHorizonAndTheGroundOverItsLowerBand)
{
    renderer->camera.zoom = 6;
    renderer->camera.center = {0.5, 0.5};
    renderer->camera.pitch = 1.3;
    renderer->camera.focalLength = 1.5;
    renderer->frame.frameHeightScale = 0.001;
    renderer->frame.frameTerrainZoom = 0;
    const Rgba grass{40, 160, 40, 255};
    renderer->appendDraw(plain(grass), false, 16, 0, 0, 0, tileCorners(0, 0, 0), 1, 0, 0, false);
    renderer->buildTerrainMesh();
    ASSERT_TRUE(renderer->draws[0].mesh);

    const auto rgba = drawFrame(64, 64);
    // The horizon is f·tan(90° − pitch) = 26.6 pixels above the centre, at row 5.4.
    const Rgba top = pixel(rgba, 64, 32, 0);
    EXPECT_FALSE(near(top, bytes(velorin::Sky::clearColor(1.3)), 4)) << "the sky covers the clear colour";
    EXPECT_GT(top[2], top[1]);
    EXPECT_GT(top[1], top[0]);
    for (int y : {20, 40, 63})
        EXPECT_TRUE(near(pixel(rgba, 64, 32, y), grass)) << "row " << y;
}

TEST_F(FrameEncoding, BackdropsNeitherTestNorWriteDepthWhileOtherTilesDo)
{
    // A flat camera looking at two tiles over the whole view: one lifted 20 m towards the
    // eye, one on the ground.
    renderer->camera.zoom = 2;
    renderer->camera.center = {0.5, 0.5};
    renderer->frame.frameHeightScale = 1;
    const auto corners = tileCorners(0, 0, 0);
    const auto tileDraw = [&](double elevation, Rgba colour, bool backdrop, double level) {
        MapRenderer::MeshKey key{corners[0], corners[1], corners[2], corners[3], 1, 0, 0, false};
        const auto vertices = MapRenderer::fillMeshVertices(
            key, pointwise([elevation](WorldPoint) { return elevation; }));
        MapRenderer::Draw draw;
        draw.mesh = gpu::Buffer::of<velorin::MeshVertex>(*context, gpu::BufferKind::vertex, vertices);
        draw.meshKey = key;
        draw.texture = plain(colour);
        draw.backdrop = backdrop;
        draw.uniforms.level = float(level);
        const double s = renderer->camera.scale();
        gpu::Float2* offsets[] = {&draw.uniforms.nw, &draw.uniforms.ne, &draw.uniforms.se, &draw.uniforms.sw};
        for (std::size_t at = 0; at < 4; ++at)
            *offsets[at] = {float((corners[at].x - 0.5) * s), float((corners[at].y - 0.5) * s)};
        return draw;
    };
    const Rgba red{255, 0, 0, 255};
    const Rgba blue{0, 0, 255, 255};
    struct Case {
        const char* what;
        std::vector<MapRenderer::Draw> draws;
        bool prepared; // encoded in the given order instead of the live order
        Rgba expected;
    };
    const Case cases[] = {
        {"a near backdrop leaves no depth", {tileDraw(0, red, false, 10), tileDraw(20, blue, true, 18)}, false, red},
        {"a far backdrop drawn last shows", {tileDraw(20, red, false, 10), tileDraw(0, blue, true, 18)}, true, blue},
        {"a far tile drawn last is hidden", {tileDraw(20, red, false, 10), tileDraw(0, blue, false, 10)}, true, red},
        {"a near tile drawn last covers", {tileDraw(0, red, false, 10), tileDraw(20, blue, false, 10)}, true, blue},
    };
    for (const Case& c : cases) {
        if (c.prepared) {
            renderer->draws.clear();
            renderer->preparedFlightOrder = c.draws;
        } else {
            renderer->draws = c.draws;
        }
        const auto rgba = drawFrame(16, 16);
        EXPECT_EQ(pixel(rgba, 16, 8, 8), c.expected) << c.what;
        EXPECT_FALSE(renderer->preparedFlightOrder) << "a prepared order is encoded once";
    }
}

TEST_F(FrameEncoding, LiveDrawsGoCoarseFirstWithBackdropsBeforeAll)
{
    const auto corners = tileCorners(3, 1, 1);
    for (auto [level, backdrop] : {std::pair{12.0, false}, {10.0, false}, {18.0, true}, {10.0, false}, {-30.0, true}})
        renderer->appendDraw(plain({0, 0, 0, 255}), backdrop, 16, 3, 1, 1, corners, 1, level, 0, false);
    renderer->draws[1].divisions = 101; // marks the first of the two level-10 draws
    std::vector<std::pair<float, bool>> order;
    for (const MapRenderer::Draw* draw : renderer->orderedDraws())
        order.emplace_back(draw->uniforms.level, draw->backdrop);
    const std::vector<std::pair<float, bool>> expected
        = {{-30, true}, {18, true}, {10, false}, {10, false}, {12, false}};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(renderer->orderedDraws()[2]->divisions, 101);
}

TEST_F(FrameEncoding, OverlaysAreDrawnOverTheTerrainAndCutAtTheRingCapacity)
{
    renderer->camera.zoom = 2;
    renderer->camera.center = {0.5, 0.5};
    renderer->appendDraw(plain({255, 0, 0, 255}), false, 16, 0, 0, 0, tileCorners(0, 0, 0), 1, 0, 0, false);
    renderer->buildTerrainMesh();

    // A green quad nearer than the ground, then degenerate triangles up to the ring's end,
    // then a white quad that no longer fits.
    const Rgba green{0, 255, 0, 255};
    renderer->solidVertices = fullFrame(0.9f, green);
    renderer->solidVertices.resize(MapRenderer::kOverlayVertexCapacity);
    const auto white = fullFrame(0.9f, {255, 255, 255, 255});
    renderer->solidVertices.insert(renderer->solidVertices.end(), white.begin(), white.end());
    renderer->solidVertices.resize(262'200);

    const auto rgba = drawFrame(8, 8);
    EXPECT_EQ(pixel(rgba, 8, 4, 4), green);
}

TEST_F(FrameEncoding, TreeShapesPickTheirModelAndOtherCodesTheCrown)
{
    // Seen from straight above, a 10 m tree at the view centre: the crown and the cone are
    // about 3 pixels wide, the dome about 12.
    renderer->camera.zoom = 10;
    renderer->camera.center = {0.5, 0.5};
    renderer->frame.frameHeightScale = 0.001;
    const velorin::TreeInstance tree{0, 0, 0, 10, 0.5f};
    const std::shared_ptr<gpu::Buffer> instances
        = gpu::Buffer::of<velorin::TreeInstance>(*context, gpu::BufferKind::vertex, std::span(&tree, 1));
    struct Case {
        float shape;
        bool wide;
    };
    for (auto c : {Case{0, false}, Case{1, false}, Case{2, true}, Case{5, false}, Case{-1, false}, Case{NAN, false}}) {
        MapRenderer::TreeDraw draw;
        draw.instances = instances;
        draw.count = 1;
        draw.uniforms.pixelsPerMeter = 1;
        draw.uniforms.shape = c.shape;
        draw.uniforms.leafA = {0.2f, 0.6f, 0.2f, 1};
        draw.uniforms.leafB = {0.2f, 0.6f, 0.2f, 1};
        renderer->treeDraws = {draw};
        const auto rgba = drawFrame(64, 64);
        const Rgba clear = bytes(velorin::Sky::clearColor(0));
        EXPECT_NE(pixel(rgba, 64, 32, 32), clear) << "shape " << c.shape;
        EXPECT_EQ(pixel(rgba, 64, 40, 32) != clear, c.wide) << "shape " << c.shape;
    }
}
