#pragma once

#include "map-data/SheetCatalog.h"
#include "platform/Image.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/RenderTarget.h"
#include "platform/gpu/ShaderLibrary.h"
#include "platform/gpu/Texture.h"
#include "renderer/MapRenderer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <functional>
#include <memory>
#include <vector>

namespace testing_support {

using Rgba = std::array<int, 4>;

// A renderer on a headless context with the project's shaders, and frames read back from
// an offscreen target.
class RendererTest : public ::testing::Test {
protected:
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library{gpu::ShaderLibrary::defaultFolder()};
    std::unique_ptr<velorin::MapRenderer> renderer = rendererWith(library);

    void SetUp() override { ASSERT_TRUE(renderer); }

    // A renderer with no loader nor services, or nothing when it cannot be made.
    std::unique_ptr<velorin::MapRenderer> rendererWith(const gpu::ShaderLibrary& shaders)
    {
        return velorin::MapRenderer::make(
            *context, shaders, velorin::SheetCatalog{}, nullptr, velorin::Camera{}, nullptr, nullptr, nullptr);
    }

    // Draws one frame of the renderer's scene at this size, as the view's draw callback does.
    std::vector<std::uint8_t> drawFrame(int width, int height)
    {
        gpu::RenderTarget target(*context, width, height);
        renderer->draw({double(width), double(height)}, target.framebuffer());
        return target.readRGBA();
    }

    static Rgba pixel(const std::vector<std::uint8_t>& rgba, int width, int x, int y)
    {
        const std::size_t at = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
        return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
    }

    static bool near(const Rgba& a, const Rgba& b, int tolerance = 1)
    {
        for (std::size_t channel = 0; channel < 4; ++channel) {
            if (std::abs(a[channel] - b[channel]) > tolerance)
                return false;
        }
        return true;
    }

    // An opaque texture whose texel (x, y) is `colour(x, y)`.
    static std::shared_ptr<gpu::Texture> texture(int width, int height, const std::function<Rgba(int, int)>& colour)
    {
        std::vector<std::byte> pixels;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                for (int channel : colour(x, y))
                    pixels.push_back(std::byte(channel));
            }
        }
        return gpu::Texture::make(gpu::PixelFormat::rgba8, width, height, std::move(pixels));
    }

    static std::shared_ptr<gpu::Texture> plain(Rgba colour)
    {
        return texture(1, 1, [colour](int, int) { return colour; });
    }

    // Leaves a picture beside the test program, for a person to look at.
    static void writePicture(const platform::Image& picture, const char* name)
    {
        const auto png = platform::encodePng(picture);
        ASSERT_TRUE(png);
        const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
        std::cout << "picture: " << path.string() << '\n';
        EXPECT_GT(std::filesystem::file_size(path), 0u);
    }

    // A mesh sampler that asks `ground` for the elevation of each point in turn.
    static velorin::MapRenderer::ElevationSampler pointwise(std::function<double(velorin::WorldPoint)> ground)
    {
        return [ground = std::move(ground)](auto points, auto heights) {
            for (std::size_t at = 0; at < points.size(); ++at)
                heights[at] = ground(points[at]);
        };
    }

    // The corners (nw, ne, se, sw) of tile (z, x, y).
    static std::array<velorin::WorldPoint, 4> tileCorners(int z, int x, int y)
    {
        const double d = 1.0 / double(1 << z);
        return {{{x * d, y * d}, {(x + 1) * d, y * d}, {(x + 1) * d, (y + 1) * d}, {x * d, (y + 1) * d}}};
    }
};

} // namespace testing_support
