#include "platform/gpu/RingBuffer.h"

#include <algorithm>
#include <cassert>

namespace gpu {

namespace {

std::size_t alignUp(std::size_t value, std::size_t alignment)
{
    return (value + alignment - 1) & ~(alignment - 1);
}

} // namespace

RingBuffer::RingBuffer(Context& context, BufferKind kind, int regions, std::size_t bytesPerRegion, std::size_t alignment)
    : context_(context)
    , kind_(kind)
    , regions_(regions)
    , bytesPerRegion_(alignUp(std::max(bytesPerRegion, alignment), alignment))
    , alignment_(alignment)
    , buffer_(std::make_unique<Buffer>(context, kind, bytesPerRegion_ * std::size_t(regions)))
{
    assert(regions > 0 && alignment > 0 && (alignment & (alignment - 1)) == 0);
}

void RingBuffer::beginRegion(int region)
{
    assert(region >= 0 && region < regions_);
    region_ = region;
    cursor_ = 0;
}

RingBuffer::Range RingBuffer::append(std::span<const std::byte> bytes, std::size_t reservedSize)
{
    const std::size_t size = std::max(bytes.size(), reservedSize);
    std::size_t start = alignUp(cursor_, alignment_);
    if (start + size > bytesPerRegion_) {
        // The old buffer's name is deleted at the next drain, once this frame's draws that
        // use it have been issued; GL keeps its storage until they have run.
        std::size_t grown = bytesPerRegion_ * 2;
        while (grown < size)
            grown *= 2;
        bytesPerRegion_ = alignUp(grown, alignment_);
        buffer_ = std::make_unique<Buffer>(context_, kind_, bytesPerRegion_ * std::size_t(regions_));
        start = 0;
    }
    const std::size_t offset = std::size_t(region_) * bytesPerRegion_ + start;
    buffer_->write(offset, bytes);
    cursor_ = start + size;
    return {buffer_->glName(), offset, size};
}

} // namespace gpu
