#include "platform/gpu/FrameRing.h"

#include "platform/gpu/Context.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdint>

namespace gpu {

namespace {

constexpr std::size_t kMinimumUniformAlignmentBytes = 16;
constexpr std::uint64_t kFenceWaitSliceNanoseconds = 1'000'000'000;

// Whether the fence's commands completed.
bool waitFor(void* fence)
{
    if (fence == nullptr)
        return false;
    GLenum result = GL_TIMEOUT_EXPIRED;
    while (result == GL_TIMEOUT_EXPIRED)
        result = glClientWaitSync(static_cast<GLsync>(fence), GL_SYNC_FLUSH_COMMANDS_BIT, kFenceWaitSliceNanoseconds);
    return result == GL_ALREADY_SIGNALED || result == GL_CONDITION_SATISFIED;
}

} // namespace

FrameRing::FrameRing(Context& context, std::size_t uniformBytesPerFrame)
    : context_(context)
    , uniforms_(context, BufferKind::uniform, kFramesInFlight, uniformBytesPerFrame,
          std::max(std::size_t(context.uniformOffsetAlignment()), kMinimumUniformAlignmentBytes))
    , deletions_(context.deletionQueue())
{
}

FrameRing::~FrameRing()
{
    if (auto deletions = deletions_.lock()) {
        for (void* fence : fences_)
            deletions->releaseFence(fence);
    }
}

int FrameRing::beginFrame()
{
    slot_ = (slot_ + 1) % kFramesInFlight;
    if (void* fence = fences_[std::size_t(slot_)]) {
        waitFor(fence);
        glDeleteSync(static_cast<GLsync>(fence));
        fences_[std::size_t(slot_)] = nullptr;
    }
    context_.drainDeletions();
    uniforms_.beginRegion(slot_);
    return slot_;
}

void FrameRing::endFrame()
{
    void*& fence = fences_[std::size_t(slot_)];
    if (fence != nullptr)
        glDeleteSync(static_cast<GLsync>(fence));
    fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
}

bool FrameRing::waitUntilCompleted()
{
    return waitFor(fences_[std::size_t(slot_)]);
}

} // namespace gpu
