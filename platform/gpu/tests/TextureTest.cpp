#include "GpuTestSupport.h"

#include "platform/gpu/Buffer.h"
#include "platform/gpu/RenderEncoder.h"
#include "platform/gpu/RenderTarget.h"
#include "platform/gpu/Texture.h"
#include "testing/LogCapture.h"

#include <epoxy/gl.h>

#include <cstring>
#include <thread>

using namespace gpu;
using testing_support::GpuTest;
using testing_support::Rgba;

namespace {

struct TexturedVertex {
    float x, y, u, v;
};

// v = 0 at the top of the frame: the first row of pixels shows at the top.
const std::vector<TexturedVertex> kFullFrame = {
    {-1, -1, 0, 1}, {1, -1, 1, 1}, {1, 1, 1, 0}, {-1, -1, 0, 1}, {1, 1, 1, 0}, {-1, 1, 0, 0}};

std::vector<std::byte> bytes(std::initializer_list<int> values)
{
    std::vector<std::byte> result;
    for (int value : values)
        result.push_back(std::byte(value));
    return result;
}

std::vector<std::byte> r16(std::initializer_list<std::uint16_t> values)
{
    std::vector<std::byte> result(values.size() * 2);
    std::memcpy(result.data(), std::data(values), result.size());
    return result;
}

class TextureTest : public GpuTest {
protected:
    Pipeline pipeline{*context, library, [] {
        PipelineDescriptor descriptor;
        descriptor.vertexFunction = "textured_vertex";
        descriptor.fragmentFunction = "textured_fragment";
        descriptor.vertexBuffers = {{0, sizeof(TexturedVertex), false, {{0, 2, 0}, {1, 2, 2 * sizeof(float)}}}};
        // Not unit 0, where an unbound sampler would read as well.
        descriptor.textures = {{"tileTexture", 1}};
        return descriptor;
    }()};
    std::unique_ptr<Buffer> quad = Buffer::of<TexturedVertex>(*context, BufferKind::vertex, kFullFrame);

    // Draws the texture over a target of its own size, so each pixel samples one texel's centre.
    std::vector<std::uint8_t> draw(Texture& texture)
    {
        RenderTarget target(*context, texture.width(), texture.height());
        frames.beginFrame();
        {
            RenderEncoder encoder(frames, target.pass({0, 0, 0, 0}));
            encoder.setPipeline(pipeline);
            encoder.setVertexBuffer(0, *quad);
            encoder.setTexture(1, texture);
            encoder.drawTriangles(0, 6);
        }
        frames.endFrame();
        return target.readRGBA();
    }
};

} // namespace

TEST_F(TextureTest, QuadShowsEachTexelsExactValueWithRowZeroAtTheTop)
{
    struct Case {
        const char* name;
        PixelFormat format;
        int width, height;
        std::vector<std::byte> pixels;
        std::vector<Rgba> expected; // top row first
    };
    const std::vector<Case> cases = {
        {"rgba8 2×2", PixelFormat::rgba8, 2, 2, bytes({10, 20, 30, 255, 200, 0, 7, 255, 1, 2, 3, 4, 128, 64, 32, 128}),
            {{10, 20, 30, 255}, {200, 0, 7, 255}, {1, 2, 3, 4}, {128, 64, 32, 128}}},
        // Three 16-bit texels make rows of 6 bytes, not 4-byte aligned.
        {"r16 3×2", PixelFormat::r16, 3, 2, r16({0, 257 * 100, 65535, 257 * 7, 257 * 200, 257 * 31}),
            {{0, 0, 0, 255}, {100, 0, 0, 255}, {255, 0, 0, 255}, {7, 0, 0, 255}, {200, 0, 0, 255}, {31, 0, 0, 255}}},
    };
    for (const Case& c : cases) {
        auto texture = Texture::make(c.format, c.width, c.height, c.pixels);
        ASSERT_TRUE(texture) << c.name;
        const auto rgba = draw(*texture);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(pixel(rgba, c.width, x, y), c.expected[std::size_t(y * c.width + x)])
                    << c.name << " at " << x << "," << y;
    }
}

TEST_F(TextureTest, MadeOnAWorkerDrawsOnTheGlThread)
{
    std::shared_ptr<Texture> texture;
    std::thread worker([&] { texture = Texture::make(PixelFormat::rgba8, 1, 1, bytes({90, 180, 45, 255})); });
    worker.join();
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->byteSize(), 4u);
    EXPECT_EQ(draw(*texture), (std::vector<std::uint8_t>{90, 180, 45, 255}));
}

TEST_F(TextureTest, ReleasedOnAWorkerIsDeletedOnTheGlThreadAtTheNextFrame)
{
    auto texture = Texture::make(PixelFormat::rgba8, 1, 1, bytes({1, 2, 3, 255}));
    draw(*texture);
    context->drainDeletions();
    const GLuint name = texture->glName(*context);
    ASSERT_TRUE(glIsTexture(name));

    std::thread worker([last = std::move(texture)]() mutable { last.reset(); });
    worker.join();
    EXPECT_EQ(context->deletionQueue()->pending(), 1u);
    EXPECT_TRUE(glIsTexture(name)) << "nothing is deleted off the GL thread";

    frames.beginFrame();
    frames.endFrame();
    EXPECT_EQ(context->deletionQueue()->pending(), 0u);
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(TextureTest, NeverUploadedOrOutlivingItsContextReleasesNothing)
{
    auto unused = Texture::make(PixelFormat::rgba8, 1, 1, bytes({1, 2, 3, 255}));
    unused.reset();
    EXPECT_EQ(context->deletionQueue()->pending(), 0u);

    auto survivor = Texture::make(PixelFormat::rgba8, 1, 1, bytes({1, 2, 3, 255}));
    draw(*survivor);
    context.reset();
    survivor.reset();
}

TEST_F(TextureTest, LargerThanTheContextAllowsIsLoggedAndLeftUnbound)
{
    testing_support::LogCapture log;
    log.expect("GPU", "trop grande");
    const int width = context->maxTextureSize() + 1;
    auto texture = Texture::make(PixelFormat::r16, width, 1, std::vector<std::byte>(std::size_t(width) * 2));
    EXPECT_EQ(texture->glName(*context), 0u);
    EXPECT_EQ(texture->glName(*context), 0u) << "tried once";
    EXPECT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(texture->byteSize(), std::size_t(width) * 2);
}

TEST_F(TextureTest, AFirstUploadForOneUnitLeavesTheTextureOfAnotherUnitBound)
{
    PipelineDescriptor descriptor;
    descriptor.vertexFunction = "textured_vertex";
    descriptor.fragmentFunction = "two_textures_fragment";
    descriptor.vertexBuffers = {{0, sizeof(TexturedVertex), false, {{0, 2, 0}, {1, 2, 2 * sizeof(float)}}}};
    descriptor.textures = {{"first", 0}, {"second", 1}};
    Pipeline twoTextures(*context, library, descriptor);
    auto red = Texture::make(PixelFormat::rgba8, 1, 1, bytes({255, 0, 0, 255}));
    auto green = Texture::make(PixelFormat::rgba8, 1, 1, bytes({0, 255, 0, 255}));

    RenderTarget target(*context, 1, 1);
    frames.beginFrame();
    {
        RenderEncoder encoder(frames, target.pass({0, 0, 0, 1}));
        encoder.setPipeline(twoTextures);
        encoder.setVertexBuffer(0, *quad);
        encoder.setTexture(0, *red);
        encoder.setTexture(1, *green); // uploaded here, after unit 0 was bound
        encoder.drawTriangles(0, 6);
    }
    frames.endFrame();
    EXPECT_EQ(pixel(target.readRGBA(), 1, 0, 0), (Rgba{255, 255, 0, 255}));
}
