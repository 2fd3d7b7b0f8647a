#pragma once

#include "platform/gpu/Std140.h"

#include <cstddef>

namespace velorin {

// The per-draw std140 block "TreeTile" of a zoom-15 tile's trees or buildings: the
// tile's north-west corner minus the camera centre in world pixels, world pixels per
// metre there, the tree shape slot, the two leaf colours and the eye's ground position
// relative to the centre. Member order is the contract with the GLSL. A plain value; any
// thread.
struct TreeTileUniforms {
    gpu::Float2 origin;
    float pixelsPerMeter = 0;
    float shape = 0;
    gpu::Float4 leafA;
    gpu::Float4 leafB;
    gpu::Float2 eye;

    bool operator==(const TreeTileUniforms&) const = default;
};

static_assert(offsetof(TreeTileUniforms, pixelsPerMeter) == 8);
static_assert(offsetof(TreeTileUniforms, shape) == 12);
static_assert(offsetof(TreeTileUniforms, leafA) == 16);
static_assert(offsetof(TreeTileUniforms, leafB) == 32);
static_assert(offsetof(TreeTileUniforms, eye) == 48);

} // namespace velorin
