#pragma once

#include "platform/gpu/DepthState.h"
#include "platform/gpu/RenderPass.h"
#include "platform/gpu/RingBuffer.h"

#include <cstddef>
#include <span>

namespace gpu {

class Buffer;
class Context;
class FrameRing;
class Pipeline;
class Texture;

// Encodes one render pass of the current frame: pipeline, depth state, vertex buffers,
// inline uniform bytes and textures, then triangle draws. OpenGL runs each call as it
// comes; the encoder sets the state the pass relies on and nothing else. GL thread only,
// between the frame ring's beginFrame and endFrame.
class RenderEncoder {
public:
    // Binds the pass's framebuffer and viewport and clears colour and depth. Starts with
    // depth that always passes and is not written, and no pipeline.
    RenderEncoder(FrameRing& frames, const RenderPass& pass);

    // Its program, vertex array and premultiplied-alpha blending. Vertex buffers are bound
    // again after each pipeline change.
    void setPipeline(const Pipeline& pipeline);
    void setDepthState(const DepthState& state);
    // The records of the current pipeline's vertex layout at `slot`, from `offset` bytes on.
    void setVertexBuffer(int slot, const Buffer& buffer, std::size_t offset = 0);
    void setVertexBuffer(int slot, const RingBuffer::Range& range);
    // Copies a std140 block into the frame's uniform ring and binds it at `binding`.
    void setBytes(int binding, std::span<const std::byte> bytes);
    template <typename Block>
    void setUniforms(int binding, const Block& block)
    {
        setBytes(binding, std::as_bytes(std::span(&block, 1)));
    }
    // Uploads the texture on first use; a texture that cannot be uploaded leaves the unit empty.
    void setTexture(int unit, Texture& texture);

    void drawTriangles(int firstVertex, int vertexCount, int instanceCount = 1);
    // 32-bit indices from `firstIndex` on.
    void drawIndexedTriangles(const Buffer& indices, int indexCount, std::size_t firstIndex = 0, int instanceCount = 1);

private:
    void bindVertexBuffer(int slot, unsigned buffer, std::size_t offset);

    FrameRing& frames_;
    const Pipeline* pipeline_ = nullptr;
};

} // namespace gpu
