#pragma once

#include "platform/gpu/DeletionQueue.h"

#include <memory>

namespace gpu {

// An OpenGL 3.3 core (or later) context and what the GPU objects made in it share: the
// deletion queue and the limits. Either headless (EGL surfaceless: tests, snapshots,
// films; no display and no GPU needed) or adopted from the window's current context.
// Used on one GL thread at a time; other threads reach only `deletionQueue()`, through
// the textures they release.
class Context {
public:
    // A context of its own, current on the calling thread. Throws GpuError when EGL
    // offers no headless display or no OpenGL 3.3 core context.
    static std::unique_ptr<Context> headless();
    // Wraps the context current on the calling thread, which its owner (the window)
    // keeps making current. Throws GpuError when none is current or it is below 3.3.
    static std::unique_ptr<Context> adoptCurrent();

    // Deletes what is still queued, then the context when it is its own. An adopted
    // context must be current.
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Makes a headless context current on the calling thread; nothing for an adopted one.
    void makeCurrent();

    // GL thread: deletes the names released since the last drain. Once a frame.
    void drainDeletions() { deletions_->drain(); }
    const std::shared_ptr<DeletionQueue>& deletionQueue() const { return deletions_; }

    // GL version as major × 10 + minor (45 for 4.5).
    int glVersion() const { return glVersion_; }
    // Whether depth runs from 0 to 1 in clip space, as the reversed-depth shaders expect.
    // Without clip control depth is still reversed (greater is nearer), with less precision.
    bool hasClipControl() const { return hasClipControl_; }
    int maxTextureSize() const { return maxTextureSize_; }
    int uniformOffsetAlignment() const { return uniformOffsetAlignment_; }

private:
    struct Egl;

    explicit Context(std::unique_ptr<Egl> egl);
    void configure();

    std::unique_ptr<Egl> egl_;
    std::shared_ptr<DeletionQueue> deletions_ = std::make_shared<DeletionQueue>();
    int glVersion_ = 0;
    bool hasClipControl_ = false;
    int maxTextureSize_ = 0;
    int uniformOffsetAlignment_ = 0;
};

} // namespace gpu
