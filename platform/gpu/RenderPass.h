#pragma once

#include <array>

namespace gpu {

// Where a pass draws and what it clears to: a framebuffer (a render target's, or the
// window's) of a pixel size, colour and depth cleared first. Plain value.
struct RenderPass {
    unsigned framebuffer = 0;
    int width = 0;
    int height = 0;
    std::array<float, 4> clearColor = {0, 0, 0, 1};
    float clearDepth = 0; // the far plane of reversed depth
};

} // namespace gpu
