#pragma once

#include <cstddef>

namespace gpu {

// Vector members of GPU records and uniform blocks with the alignment std140 gives them,
// so that a C++ struct whose members follow the GLSL block in order has the block's
// offsets. Scalars are floats. Each record states its offsets next to its definition:
//
//     struct TreeTileUniforms { Float2 origin; float pixelsPerMeter; float shape; Float4 leafA; … };
//     static_assert(offsetof(TreeTileUniforms, leafA) == 16);
//
// vec3 is left out on purpose: std140 pads it to 16 bytes, a C++ struct would not.
// Plain values.
struct alignas(8) Float2 {
    float x = 0;
    float y = 0;

    bool operator==(const Float2&) const = default;
};

struct alignas(16) Float4 {
    float x = 0;
    float y = 0;
    float z = 0;
    float w = 0;

    bool operator==(const Float4&) const = default;
};

static_assert(sizeof(Float2) == 8 && alignof(Float2) == 8);
static_assert(sizeof(Float4) == 16 && alignof(Float4) == 16);

} // namespace gpu
