#include "platform/gpu/DeletionQueue.h"

#include <epoxy/gl.h>

namespace gpu {

void DeletionQueue::release(GlObjectKind kind, unsigned name)
{
    if (name == 0)
        return;
    std::lock_guard lock(mutex_);
    names_.push_back({kind, name});
}

void DeletionQueue::releaseFence(void* fence)
{
    if (fence == nullptr)
        return;
    std::lock_guard lock(mutex_);
    fences_.push_back(fence);
}

std::size_t DeletionQueue::pending() const
{
    std::lock_guard lock(mutex_);
    return names_.size() + fences_.size();
}

void DeletionQueue::drain()
{
    std::vector<Entry> names;
    std::vector<void*> fences;
    {
        std::lock_guard lock(mutex_);
        names.swap(names_);
        fences.swap(fences_);
    }
    for (const Entry& entry : names) {
        const GLuint name = entry.name;
        switch (entry.kind) {
        case GlObjectKind::texture: glDeleteTextures(1, &name); break;
        case GlObjectKind::buffer: glDeleteBuffers(1, &name); break;
        case GlObjectKind::vertexArray: glDeleteVertexArrays(1, &name); break;
        case GlObjectKind::framebuffer: glDeleteFramebuffers(1, &name); break;
        case GlObjectKind::renderbuffer: glDeleteRenderbuffers(1, &name); break;
        case GlObjectKind::program: glDeleteProgram(name); break;
        }
    }
    for (void* fence : fences)
        glDeleteSync(static_cast<GLsync>(fence));
}

} // namespace gpu
