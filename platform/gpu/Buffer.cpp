#include "platform/gpu/Buffer.h"

#include "platform/gpu/Context.h"
#include "platform/gpu/GpuError.h"

#include <epoxy/gl.h>
#include <fmt/format.h>

#include <cassert>

namespace gpu {

Buffer::Buffer(Context& context, BufferKind kind, std::span<const std::byte> contents)
    : kind_(kind)
    , size_(contents.size())
    , deletions_(context.deletionQueue())
{
    allocate(contents.data(), false);
}

Buffer::Buffer(Context& context, BufferKind kind, std::size_t size)
    : kind_(kind)
    , size_(size)
    , deletions_(context.deletionQueue())
{
    allocate(nullptr, true);
}

Buffer::~Buffer()
{
    if (auto deletions = deletions_.lock())
        deletions->release(GlObjectKind::buffer, name_);
}

// Data goes through the copy-write binding so that making a buffer never disturbs the
// vertex array or uniform bindings of a pass being encoded.
void Buffer::allocate(const void* data, bool dynamic)
{
    if (size_ == 0)
        throw GpuError("tampon GPU vide");
    glGetError();
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(GL_COPY_WRITE_BUFFER, name);
    glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(size_), data, dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    if (const GLenum error = glGetError(); error != GL_NO_ERROR) {
        glDeleteBuffers(1, &name);
        throw GpuError(fmt::format("tampon GPU de {} octets refusé (erreur 0x{:x})", size_, error));
    }
    name_ = name;
}

void Buffer::write(std::size_t offset, std::span<const std::byte> bytes)
{
    assert(offset + bytes.size() <= size_);
    if (bytes.empty())
        return;
    glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
    glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(offset), GLsizeiptr(bytes.size()), bytes.data());
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
}

} // namespace gpu
