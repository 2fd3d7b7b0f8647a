#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

namespace gpu {

enum class GlObjectKind { texture, buffer, vertexArray, framebuffer, renderbuffer, program };

// GL names and fences released by objects that may die on any thread, deleted on the
// GL thread when the context drains the queue (once a frame). `release` and `pending`
// are thread-safe; `drain` runs on the GL thread with the context current.
class DeletionQueue {
public:
    void release(GlObjectKind kind, unsigned name);
    void releaseFence(void* fence);
    std::size_t pending() const;
    void drain();

private:
    struct Entry {
        GlObjectKind kind;
        unsigned name;
    };

    mutable std::mutex mutex_;
    std::vector<Entry> names_;
    std::vector<void*> fences_;
};

} // namespace gpu
