#pragma once

#include "platform/gpu/RenderPass.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace gpu {

class Context;
class DeletionQueue;

// An offscreen frame of any size: RGBA8 colour and 32-bit float depth, for tests,
// snapshots and film frames. GL thread only; its names go through the deletion queue.
class RenderTarget {
public:
    // Throws GpuError when the size is not positive or beyond the context's limits, or the
    // driver refuses the attachments.
    RenderTarget(Context& context, int width, int height);
    ~RenderTarget();
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // A pass that clears the target to `clearColor` and depth 0.
    RenderPass pass(std::array<float, 4> clearColor) const;

    // The colour as RGBA bytes, width × 4 bytes a row, row 0 at the top. Waits for the
    // drawing to finish.
    std::vector<std::uint8_t> readRGBA() const;

    // Stretches the colour over the whole of `framebuffer` (width × height), filtered
    // linearly; the framebuffer bindings are left as they were.
    void blitTo(unsigned framebuffer, int width, int height) const;

    int width() const { return width_; }
    int height() const { return height_; }
    unsigned framebuffer() const { return framebuffer_; }
    // Its colour texture. GL's row 0 is the bottom of the frame: sampled with v = 0 at the
    // bottom, unlike textures made from pixels.
    unsigned colorTexture() const { return colorTexture_; }

private:
    int width_;
    int height_;
    unsigned framebuffer_ = 0;
    unsigned colorTexture_ = 0;
    unsigned depthBuffer_ = 0;
    std::weak_ptr<DeletionQueue> deletions_;
};

} // namespace gpu
