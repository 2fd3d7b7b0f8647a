#include "GpuTestSupport.h"

#include "platform/gpu/Buffer.h"
#include "platform/gpu/RenderEncoder.h"
#include "platform/gpu/RenderTarget.h"
#include "platform/gpu/Std140.h"

#include <cstddef>
#include <cstdint>

using namespace gpu;
using testing_support::GpuTest;
using testing_support::Rgba;
using testing_support::SolidVertex;

namespace {

// The fixture's "Tint" block.
struct Tint {
    float scale;
    Float2 shift;
    Float4 colour;
};
static_assert(offsetof(Tint, shift) == 8);
static_assert(offsetof(Tint, colour) == 16);

constexpr DepthState kTerrainDepth{DepthCompare::greaterEqual, true};

} // namespace

using RenderEncoderTest = GpuTest;

TEST_F(RenderEncoderTest, ReversedDepthKeepsTheNearerQuadWhateverTheDrawOrder)
{
    Pipeline pipeline(*context, library, solidDescriptor());
    auto nearGreen = Buffer::of<SolidVertex>(*context, BufferKind::vertex, fullFrameQuad(0.75f, {0, 1, 0, 1}));
    auto farRed = Buffer::of<SolidVertex>(*context, BufferKind::vertex, fullFrameQuad(0.25f, {1, 0, 0, 1}));
    RenderTarget target(*context, 2, 2);
    for (const auto& order : {std::pair{farRed.get(), nearGreen.get()}, std::pair{nearGreen.get(), farRed.get()}}) {
        frames.beginFrame();
        {
            RenderEncoder encoder(frames, target.pass({0, 0, 0, 1}));
            encoder.setPipeline(pipeline);
            encoder.setDepthState(kTerrainDepth);
            for (const Buffer* quad : {order.first, order.second}) {
                encoder.setVertexBuffer(0, *quad);
                encoder.drawTriangles(0, 6);
            }
        }
        frames.endFrame();
        EXPECT_EQ(pixel(target.readRGBA(), 2, 1, 1), (Rgba{0, 255, 0, 255}));
    }
}

TEST_F(RenderEncoderTest, SixteenBitAttributesReachTheShaderAsNormalisedFloats)
{
    // The fixture's solid vertex with its position in signed and its colour in unsigned
    // 16-bit integers.
    struct PackedVertex {
        std::int16_t x, y, z, pad;
        std::uint16_t r, g, b, a;
    };
    PipelineDescriptor descriptor = solidDescriptor();
    descriptor.vertexBuffers = {{0, sizeof(PackedVertex), false,
        {{0, 3, offsetof(PackedVertex, x), VertexFormat::snorm16},
            {1, 4, offsetof(PackedVertex, r), VertexFormat::unorm16}}}};
    Pipeline pipeline(*context, library, descriptor);
    // The left half of the frame, at depth 0.5, in orange.
    const PackedVertex corners[] = {{-32767, -32767, 16384, 0, 65535, 32768, 0, 65535},
        {0, -32767, 16384, 0, 65535, 32768, 0, 65535}, {0, 32767, 16384, 0, 65535, 32768, 0, 65535},
        {-32767, -32767, 16384, 0, 65535, 32768, 0, 65535}, {0, 32767, 16384, 0, 65535, 32768, 0, 65535},
        {-32767, 32767, 16384, 0, 65535, 32768, 0, 65535}};
    auto quad = Buffer::of<PackedVertex>(*context, BufferKind::vertex, corners);
    RenderTarget target(*context, 4, 2);
    frames.beginFrame();
    {
        RenderEncoder encoder(frames, target.pass({0, 0, 0, 1}));
        encoder.setPipeline(pipeline);
        encoder.setVertexBuffer(0, *quad);
        encoder.drawTriangles(0, 6);
    }
    frames.endFrame();
    const auto rgba = target.readRGBA();
    EXPECT_EQ(pixel(rgba, 4, 0, 1), (Rgba{255, 128, 0, 255}));
    EXPECT_EQ(pixel(rgba, 4, 3, 1), (Rgba{0, 0, 0, 255}));
}

TEST_F(RenderEncoderTest, BlendsPremultipliedColourOverWhatIsThere)
{
    Pipeline pipeline(*context, library, solidDescriptor());
    auto quad = Buffer::of<SolidVertex>(*context, BufferKind::vertex, fullFrameQuad(0.5f, {0.4f, 0, 0, 0.6f}));
    RenderTarget target(*context, 1, 1);
    frames.beginFrame();
    {
        RenderEncoder encoder(frames, target.pass({0, 0, 1, 1}));
        encoder.setPipeline(pipeline);
        encoder.setVertexBuffer(0, *quad);
        encoder.drawTriangles(0, 6);
    }
    frames.endFrame();
    const Rgba blended = pixel(target.readRGBA(), 1, 0, 0);
    EXPECT_NEAR(blended[0], 102, 1);
    EXPECT_EQ(blended[1], 0);
    EXPECT_NEAR(blended[2], 102, 1);
    EXPECT_EQ(blended[3], 255);
}

TEST_F(RenderEncoderTest, EachDrawKeepsItsOwnUniformBytesWhenTheFrameOutgrowsItsRing)
{
    FrameRing tinyRing(*context, 1);
    PipelineDescriptor descriptor = solidDescriptor();
    descriptor.fragmentFunction = "tinted_fragment";
    descriptor.uniformBlocks = {{"Tint", 3}};
    Pipeline pipeline(*context, library, descriptor);
    // Three columns, one quad each, told apart only by their uniform bytes.
    std::vector<SolidVertex> columns;
    for (int column = 0; column < 3; ++column) {
        const float left = -1 + column * 2.0f / 3;
        const float right = left + 2.0f / 3;
        for (auto [x, y] : {std::pair{left, -1.0f}, {right, -1.0f}, {right, 1.0f}, {left, -1.0f}, {right, 1.0f}, {left, 1.0f}})
            columns.push_back({x, y, 0.5f, 0, 0, 0, 0});
    }
    auto vertices = Buffer::of<SolidVertex>(*context, BufferKind::vertex, columns);
    const Tint tints[] = {
        {1.0f, {0, 0}, {0.2f, 0.4f, 0.6f, 1}},
        {0.5f, {0.2f, 0}, {0.4f, 0.8f, 1.0f, 1}},
        {2.0f, {0, 0.1f}, {0.1f, 0.2f, 0.3f, 1}},
    };
    const Rgba expected[] = {{51, 102, 153, 255}, {102, 102, 128, 255}, {51, 128, 153, 255}};

    RenderTarget target(*context, 3, 1);
    tinyRing.beginFrame();
    {
        RenderEncoder encoder(tinyRing, target.pass({0, 0, 0, 1}));
        encoder.setPipeline(pipeline);
        encoder.setVertexBuffer(0, *vertices);
        for (int column = 0; column < 3; ++column) {
            encoder.setUniforms(3, tints[column]);
            encoder.drawTriangles(column * 6, 6);
        }
    }
    tinyRing.endFrame();
    const auto rgba = target.readRGBA();
    for (int column = 0; column < 3; ++column) {
        const Rgba got = pixel(rgba, 3, column, 0);
        for (int channel = 0; channel < 4; ++channel)
            EXPECT_NEAR(got[std::size_t(channel)], expected[column][std::size_t(channel)], 1) << "column " << column;
    }
}

TEST_F(RenderEncoderTest, IndexedDrawReadsInstanceRecordsOncePerInstance)
{
    struct Instance {
        float dx, dy;
        float r, g, b, a;
    };
    PipelineDescriptor descriptor;
    descriptor.vertexFunction = "instanced_vertex";
    descriptor.fragmentFunction = "solid_fragment";
    descriptor.vertexBuffers = {
        {0, 2 * sizeof(float), false, {{0, 2, 0}}},
        {1, sizeof(Instance), true, {{1, 2, 0}, {2, 4, 2 * sizeof(float)}}},
    };
    Pipeline pipeline(*context, library, descriptor);
    // The left half of the frame; the second instance moves it to the right half.
    const float corners[] = {-1, -1, 0, -1, 0, 1, -1, 1};
    const std::uint32_t indices[] = {0, 1, 2, 0, 2, 3};
    const Instance instances[] = {{0, 0, 1, 0, 0, 1}, {1, 0, 0, 1, 0, 1}};
    auto cornerBuffer = Buffer::of<float>(*context, BufferKind::vertex, corners);
    auto indexBuffer = Buffer::of<std::uint32_t>(*context, BufferKind::index, indices);
    auto instanceBuffer = Buffer::of<Instance>(*context, BufferKind::vertex, instances);

    RenderTarget target(*context, 4, 2);
    frames.beginFrame();
    {
        RenderEncoder encoder(frames, target.pass({0, 0, 0, 1}));
        encoder.setPipeline(pipeline);
        encoder.setVertexBuffer(0, *cornerBuffer);
        encoder.setVertexBuffer(1, *instanceBuffer);
        encoder.drawIndexedTriangles(*indexBuffer, 6, 0, 2);
    }
    frames.endFrame();
    const auto rgba = target.readRGBA();
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(pixel(rgba, 4, 0, y), (Rgba{255, 0, 0, 255}));
        EXPECT_EQ(pixel(rgba, 4, 1, y), (Rgba{255, 0, 0, 255}));
        EXPECT_EQ(pixel(rgba, 4, 2, y), (Rgba{0, 255, 0, 255}));
        EXPECT_EQ(pixel(rgba, 4, 3, y), (Rgba{0, 255, 0, 255}));
    }
}
