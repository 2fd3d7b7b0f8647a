#pragma once

#include "platform/gpu/Buffer.h"

#include <cstddef>
#include <memory>
#include <span>

namespace gpu {

class Context;

// A buffer for data rewritten every frame, split into one region per frame in flight so
// that the CPU fills one region while the GPU may still read the others. A frame that
// outgrows its region moves the ring to a buffer twice as large. GL thread only; used
// while its context lives.
class RingBuffer {
public:
    // Where appended bytes went: a GL buffer name and a byte range in it.
    struct Range {
        unsigned buffer;
        std::size_t offset;
        std::size_t size;
    };

    // `alignment`: the offset every appended range starts on (a power of two).
    RingBuffer(Context& context, BufferKind kind, int regions, std::size_t bytesPerRegion, std::size_t alignment);

    // Starts filling region `region` from its beginning.
    void beginRegion(int region);
    // Copies `bytes` into the current region and returns a range of `reservedSize` bytes
    // when that is larger (a uniform block's full size; the bytes past the copy are never
    // read). The range stays valid for the draws of the current frame.
    Range append(std::span<const std::byte> bytes, std::size_t reservedSize = 0);

    std::size_t bytesPerRegion() const { return bytesPerRegion_; }

private:
    Context& context_;
    BufferKind kind_;
    int regions_;
    std::size_t bytesPerRegion_;
    std::size_t alignment_;
    std::unique_ptr<Buffer> buffer_;
    int region_ = 0;
    std::size_t cursor_ = 0;
};

} // namespace gpu
