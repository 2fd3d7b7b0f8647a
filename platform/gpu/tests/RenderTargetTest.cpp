#include "GpuTestSupport.h"

#include "platform/gpu/Buffer.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/RenderEncoder.h"
#include "platform/gpu/RenderTarget.h"

using namespace gpu;
using testing_support::GpuTest;
using testing_support::Rgba;

using RenderTargetTest = GpuTest;

TEST_F(RenderTargetTest, ClearedColourReadsBackAsItsBytesEverywhere)
{
    RenderTarget target(*context, 5, 3);
    frames.beginFrame();
    RenderEncoder encoder(frames, target.pass({0.11f, 0.145f, 0.22f, 1.0f}));
    frames.endFrame();
    const auto rgba = target.readRGBA();
    ASSERT_EQ(rgba.size(), 5u * 3u * 4u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(pixel(rgba, 5, x, y), (Rgba{28, 37, 56, 255})) << x << "," << y;
}

TEST_F(RenderTargetTest, ReadBackPutsTheTopOfTheFrameInRowZero)
{
    // The lower half of clip space is red, the upper half stays cleared to blue.
    RenderTarget target(*context, 2, 4);
    Pipeline pipeline(*context, library, solidDescriptor());
    const std::vector<testing_support::SolidVertex> lowerHalf = {{-1, -1, 0.5f, 1, 0, 0, 1}, {1, -1, 0.5f, 1, 0, 0, 1},
        {1, 0, 0.5f, 1, 0, 0, 1}, {-1, -1, 0.5f, 1, 0, 0, 1}, {1, 0, 0.5f, 1, 0, 0, 1}, {-1, 0, 0.5f, 1, 0, 0, 1}};
    auto vertices = Buffer::of<testing_support::SolidVertex>(*context, BufferKind::vertex, lowerHalf);

    frames.beginFrame();
    {
        RenderEncoder encoder(frames, target.pass({0, 0, 1, 1}));
        encoder.setPipeline(pipeline);
        encoder.setVertexBuffer(0, *vertices);
        encoder.drawTriangles(0, 6);
    }
    frames.endFrame();
    const auto rgba = target.readRGBA();
    EXPECT_EQ(pixel(rgba, 2, 0, 0), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(pixel(rgba, 2, 1, 1), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(pixel(rgba, 2, 0, 2), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(pixel(rgba, 2, 1, 3), (Rgba{255, 0, 0, 255}));
}

TEST_F(RenderTargetTest, ASmallFrameBlitsStretchedOverALargerOne)
{
    // A 2×1 frame, red on the left and green on the right, over a 4×2 one.
    RenderTarget small(*context, 2, 1);
    Pipeline pipeline(*context, library, solidDescriptor());
    const std::vector<testing_support::SolidVertex> rightHalf = {{0, -1, 0.5f, 0, 1, 0, 1}, {1, -1, 0.5f, 0, 1, 0, 1},
        {1, 1, 0.5f, 0, 1, 0, 1}, {0, -1, 0.5f, 0, 1, 0, 1}, {1, 1, 0.5f, 0, 1, 0, 1}, {0, 1, 0.5f, 0, 1, 0, 1}};
    auto vertices = Buffer::of<testing_support::SolidVertex>(*context, BufferKind::vertex, rightHalf);
    frames.beginFrame();
    {
        RenderEncoder encoder(frames, small.pass({1, 0, 0, 1}));
        encoder.setPipeline(pipeline);
        encoder.setVertexBuffer(0, *vertices);
        encoder.drawTriangles(0, 6);
    }
    frames.endFrame();
    RenderTarget large(*context, 4, 2);
    small.blitTo(large.framebuffer(), 4, 2);
    const auto rgba = large.readRGBA();
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(pixel(rgba, 4, 0, y), (Rgba{255, 0, 0, 255}));
        EXPECT_EQ(pixel(rgba, 4, 3, y), (Rgba{0, 255, 0, 255}));
    }
}

TEST_F(RenderTargetTest, SizeOutsideTheContextLimitsIsAnError)
{
    for (auto [width, height] : {std::pair{0, 4}, std::pair{4, -1}, std::pair{context->maxTextureSize() + 1, 1}})
        EXPECT_THROW(RenderTarget(*context, width, height), GpuError) << width << "×" << height;
}

TEST(ContextTest, AdoptsOnlyACurrentContextAndDrawsThroughTheSameWrapper)
{
    EXPECT_THROW(Context::adoptCurrent(), GpuError);
    auto owner = Context::headless();
    auto adopted = Context::adoptCurrent();
    EXPECT_GE(adopted->glVersion(), 33);
    FrameRing frames(*adopted);
    RenderTarget target(*adopted, 1, 1);
    frames.beginFrame();
    RenderEncoder encoder(frames, target.pass({1.0f, 0.5f, 0.0f, 1.0f}));
    frames.endFrame();
    EXPECT_EQ(target.readRGBA(), (std::vector<std::uint8_t>{255, 128, 0, 255}));
}
