#include "platform/gpu/RenderEncoder.h"

#include "platform/gpu/Buffer.h"
#include "platform/gpu/FrameRing.h"
#include "platform/gpu/Pipeline.h"
#include "platform/gpu/Texture.h"

#include <epoxy/gl.h>

#include <cassert>
#include <cstdint>

namespace gpu {

namespace {

// A std140 block's size is a multiple of a vec4; the bound range must cover all of it.
constexpr std::size_t kUniformBlockGranuleBytes = 16;

} // namespace

RenderEncoder::RenderEncoder(FrameRing& frames, const RenderPass& pass)
    : frames_(frames)
{
    glBindFramebuffer(GL_FRAMEBUFFER, pass.framebuffer);
    glViewport(0, 0, pass.width, pass.height);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_CULL_FACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(pass.clearColor[0], pass.clearColor[1], pass.clearColor[2], pass.clearColor[3]);
    glClearDepth(pass.clearDepth);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setDepthState(DepthState{});
}

void RenderEncoder::setPipeline(const Pipeline& pipeline)
{
    pipeline_ = &pipeline;
    glUseProgram(pipeline.program());
    glBindVertexArray(pipeline.vertexArray());
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void RenderEncoder::setDepthState(const DepthState& state)
{
    // Depth writes need the depth test on, even when every fragment passes.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(state.compare == DepthCompare::greaterEqual ? GL_GEQUAL : GL_ALWAYS);
    glDepthMask(state.write ? GL_TRUE : GL_FALSE);
}

void RenderEncoder::setVertexBuffer(int slot, const Buffer& buffer, std::size_t offset)
{
    bindVertexBuffer(slot, buffer.glName(), offset);
}

void RenderEncoder::setVertexBuffer(int slot, const RingBuffer::Range& range)
{
    bindVertexBuffer(slot, range.buffer, range.offset);
}

void RenderEncoder::bindVertexBuffer(int slot, unsigned buffer, std::size_t offset)
{
    assert(pipeline_ && "a pipeline is set before its vertex buffers");
    const VertexLayout* layout = pipeline_->vertexLayout(slot);
    assert(layout && "the pipeline reads a vertex buffer at this slot");
    if (layout == nullptr)
        return;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    for (const VertexAttribute& attribute : layout->attributes) {
        const auto start = reinterpret_cast<const void*>(std::uintptr_t(offset + attribute.offset));
        const GLenum type = attribute.format == VertexFormat::float32 ? GL_FLOAT
            : attribute.format == VertexFormat::unorm16             ? GL_UNSIGNED_SHORT
                                                                    : GL_SHORT;
        const GLboolean normalized = attribute.format == VertexFormat::float32 ? GL_FALSE : GL_TRUE;
        glVertexAttribPointer(
            GLuint(attribute.location), attribute.components, type, normalized, GLsizei(layout->stride), start);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void RenderEncoder::setBytes(int binding, std::span<const std::byte> bytes)
{
    assert(!bytes.empty());
    const std::size_t padded = (bytes.size() + kUniformBlockGranuleBytes - 1) / kUniformBlockGranuleBytes
        * kUniformBlockGranuleBytes;
    const RingBuffer::Range range = frames_.uniforms().append(bytes, padded);
    glBindBufferRange(GL_UNIFORM_BUFFER, GLuint(binding), range.buffer, GLintptr(range.offset), GLsizeiptr(range.size));
}

void RenderEncoder::setTexture(int unit, Texture& texture)
{
    // A first upload binds the texture to the active unit: make that the unit it is meant
    // for, so that it never displaces what another unit holds.
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    const unsigned name = texture.glName(frames_.context());
    glBindTexture(GL_TEXTURE_2D, name);
}

void RenderEncoder::drawTriangles(int firstVertex, int vertexCount, int instanceCount)
{
    if (vertexCount <= 0 || instanceCount <= 0)
        return;
    glDrawArraysInstanced(GL_TRIANGLES, firstVertex, vertexCount, instanceCount);
}

void RenderEncoder::drawIndexedTriangles(const Buffer& indices, int indexCount, std::size_t firstIndex, int instanceCount)
{
    if (indexCount <= 0 || instanceCount <= 0)
        return;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.glName());
    const auto start = reinterpret_cast<const void*>(std::uintptr_t(firstIndex * sizeof(std::uint32_t)));
    glDrawElementsInstanced(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, start, instanceCount);
}

} // namespace gpu
