#pragma once

#include "platform/gpu/RingBuffer.h"

#include <array>
#include <cstddef>
#include <memory>

namespace gpu {

class Context;
class DeletionQueue;

// Lets at most three frames be in flight on the GPU: a frame starts by waiting for the
// fence of the frame that used its slot three frames earlier, so per-frame data in that
// slot (uniform bytes, overlay vertices) is never rewritten while the GPU may read it.
// Each frame start also drains the context's deletion queue. GL thread only; used while
// its context lives, destroyed before or after it.
class FrameRing {
public:
    static constexpr int kFramesInFlight = 3;
    static constexpr std::size_t kUniformBytesPerFrame = 1 << 20;

    explicit FrameRing(Context& context, std::size_t uniformBytesPerFrame = kUniformBytesPerFrame);
    ~FrameRing();
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    // Waits until the GPU is done with the next slot, then returns it (0, 1, 2, 0, …).
    int beginFrame();
    // Fences the frame's commands and sends them to the GPU.
    void endFrame();
    // Waits until the last ended frame has run on the GPU (offscreen frames); false when
    // there is no such frame or the wait failed.
    bool waitUntilCompleted();

    int slot() const { return slot_; }
    Context& context() { return context_; }
    // Inline uniform bytes of the current frame, in the current slot's region.
    RingBuffer& uniforms() { return uniforms_; }

private:
    Context& context_;
    RingBuffer uniforms_;
    std::weak_ptr<DeletionQueue> deletions_;
    std::array<void*, kFramesInFlight> fences_ = {};
    int slot_ = kFramesInFlight - 1;
};

} // namespace gpu
