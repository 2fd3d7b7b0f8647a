#pragma once

#include <cstddef>
#include <memory>
#include <span>

namespace gpu {

class Context;
class DeletionQueue;

enum class BufferKind {
    vertex,  // vertex or instance records
    index,   // unsigned 32-bit indices
    uniform, // std140 uniform blocks
};

// A GPU buffer of vertices, indices or uniform blocks. Made and written on the GL thread;
// when it goes, its name is deleted through the context's deletion queue, so it may be
// destroyed without the context current.
class Buffer {
public:
    // A buffer holding `contents`, for data made once (meshes, index grids).
    Buffer(Context& context, BufferKind kind, std::span<const std::byte> contents);
    // A buffer of `size` bytes, rewritten with `write` (rings, per-frame data).
    Buffer(Context& context, BufferKind kind, std::size_t size);
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    template <typename T>
    static std::unique_ptr<Buffer> of(Context& context, BufferKind kind, std::span<const T> records)
    {
        return std::make_unique<Buffer>(context, kind, std::as_bytes(records));
    }

    // Replaces `bytes.size()` bytes from `offset`; the range must lie inside the buffer.
    void write(std::size_t offset, std::span<const std::byte> bytes);

    BufferKind kind() const { return kind_; }
    std::size_t size() const { return size_; }
    unsigned glName() const { return name_; }

private:
    void allocate(const void* data, bool dynamic);

    BufferKind kind_;
    std::size_t size_;
    unsigned name_ = 0;
    std::weak_ptr<DeletionQueue> deletions_;
};

} // namespace gpu
