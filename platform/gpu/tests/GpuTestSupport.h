#pragma once

#include "platform/gpu/Context.h"
#include "platform/gpu/FrameRing.h"
#include "platform/gpu/Pipeline.h"
#include "platform/gpu/ShaderLibrary.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace testing_support {

// A vertex of the fixture's solid pipeline: position in clip space, premultiplied colour.
struct SolidVertex {
    float x, y, z;
    float r, g, b, a;
};

using Rgba = std::array<int, 4>;

// A headless context with a frame ring and the fixture shaders, current on the test's thread.
class GpuTest : public ::testing::Test {
protected:
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library{std::filesystem::path(VELORIN_FIXTURES) / "shaders"};
    gpu::FrameRing frames{*context};

    gpu::PipelineDescriptor solidDescriptor() const
    {
        gpu::PipelineDescriptor descriptor;
        descriptor.vertexFunction = "solid_vertex";
        descriptor.fragmentFunction = "solid_fragment";
        descriptor.vertexBuffers = {{0, sizeof(SolidVertex), false, {{0, 3, 0}, {1, 4, 3 * sizeof(float)}}}};
        return descriptor;
    }

    // Two triangles covering the whole frame at depth z.
    static std::vector<SolidVertex> fullFrameQuad(float z, std::array<float, 4> colour)
    {
        const auto [r, g, b, a] = colour;
        return {{-1, -1, z, r, g, b, a}, {1, -1, z, r, g, b, a}, {1, 1, z, r, g, b, a},
            {-1, -1, z, r, g, b, a}, {1, 1, z, r, g, b, a}, {-1, 1, z, r, g, b, a}};
    }

    static Rgba pixel(const std::vector<std::uint8_t>& rgba, int width, int x, int y)
    {
        const std::size_t at = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
        return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
    }
};

} // namespace testing_support
