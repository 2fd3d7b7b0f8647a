#pragma once

#include "platform/gpu/Std140.h"

#include <cstddef>

namespace velorin {

// The per-draw std140 block "Tile" of a terrain tile: its corners as pixel offsets from
// the camera centre (north-west, north-east, south-east, south-west), its fade-in alpha,
// its drawing level, the view depth below which it is not drawn, and where its canopy
// relief lies in the canopy texture. Member order is the contract with the GLSL. A plain
// value; any thread.
struct TileUniforms {
    gpu::Float2 nw;
    gpu::Float2 ne;
    gpu::Float2 se;
    gpu::Float2 sw;
    float alpha = 1;
    float level = 0;
    float minDepth = 0;
    gpu::Float2 canopyOrigin;
    gpu::Float2 canopySpan;
    float bumps = 0;
    float canopyTexel = 0; // metres per canopy texel

    bool operator==(const TileUniforms&) const = default;
};

static_assert(offsetof(TileUniforms, se) == 16);
static_assert(offsetof(TileUniforms, alpha) == 32);
static_assert(offsetof(TileUniforms, minDepth) == 40);
static_assert(offsetof(TileUniforms, canopyOrigin) == 48);
static_assert(offsetof(TileUniforms, canopySpan) == 56);
static_assert(offsetof(TileUniforms, bumps) == 64);
static_assert(offsetof(TileUniforms, canopyTexel) == 68);

} // namespace velorin
