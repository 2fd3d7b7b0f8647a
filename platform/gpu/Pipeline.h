#pragma once

#include "platform/gpu/PipelineDescriptor.h"
#include "platform/gpu/VertexLayout.h"

#include <memory>
#include <vector>

namespace gpu {

class Context;
class DeletionQueue;
class ShaderLibrary;

// A linked GLSL program with its vertex array and bindings, made from two functions of the
// shader library. GL thread only; its names go through the deletion queue when it dies.
class Pipeline {
public:
    // Throws GpuError naming the function when one is missing, or with the compiler or
    // linker log when one does not build.
    Pipeline(Context& context, const ShaderLibrary& library, const PipelineDescriptor& descriptor);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // The layout of the buffer read at `slot`, or nothing when the pipeline reads none there.
    const VertexLayout* vertexLayout(int slot) const;
    unsigned program() const { return program_; }
    unsigned vertexArray() const { return vertexArray_; }

private:
    std::vector<VertexLayout> vertexBuffers_;
    unsigned program_ = 0;
    unsigned vertexArray_ = 0;
    std::weak_ptr<DeletionQueue> deletions_;
};

} // namespace gpu
