#include "platform/gpu/RenderTarget.h"

#include "platform/gpu/Context.h"
#include "platform/gpu/GpuError.h"

#include <epoxy/gl.h>
#include <fmt/format.h>

#include <algorithm>
#include <cstring>

namespace gpu {

RenderTarget::RenderTarget(Context& context, int width, int height)
    : width_(width)
    , height_(height)
    , deletions_(context.deletionQueue())
{
    GLint maxRenderbufferSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbufferSize);
    const int limit = std::min(context.maxTextureSize(), int(maxRenderbufferSize));
    if (width <= 0 || height <= 0 || width > limit || height > limit)
        throw GpuError(fmt::format("image {}×{} hors des limites du GPU (1 à {})", width, height, limit));

    GLuint color = 0;
    glGenTextures(1, &color);
    glBindTexture(GL_TEXTURE_2D, color);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    colorTexture_ = color;

    GLuint depth = 0;
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32F, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    depthBuffer_ = depth;

    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
    framebuffer_ = framebuffer;
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteRenderbuffers(1, &depth);
        glDeleteTextures(1, &color);
        throw GpuError(fmt::format("image {}×{} refusée par le GPU (0x{:x})", width, height, status));
    }
}

RenderTarget::~RenderTarget()
{
    if (auto deletions = deletions_.lock()) {
        deletions->release(GlObjectKind::framebuffer, framebuffer_);
        deletions->release(GlObjectKind::renderbuffer, depthBuffer_);
        deletions->release(GlObjectKind::texture, colorTexture_);
    }
}

RenderPass RenderTarget::pass(std::array<float, 4> clearColor) const
{
    return RenderPass{framebuffer_, width_, height_, clearColor, 0.0f};
}

void RenderTarget::blitTo(unsigned framebuffer, int width, int height) const
{
    GLint read = 0;
    GLint draw = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(framebuffer));
    glBlitFramebuffer(0, 0, width_, height_, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(read));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(draw));
}

std::vector<std::uint8_t> RenderTarget::readRGBA() const
{
    const std::size_t rowBytes = std::size_t(width_) * 4;
    std::vector<std::uint8_t> pixels(rowBytes * std::size_t(height_));
    GLint previous = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(previous));
    // GL reads bottom row first.
    std::vector<std::uint8_t> row(rowBytes);
    for (int top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom) {
        std::uint8_t* a = pixels.data() + std::size_t(top) * rowBytes;
        std::uint8_t* b = pixels.data() + std::size_t(bottom) * rowBytes;
        std::memcpy(row.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, row.data(), rowBytes);
    }
    return pixels;
}

} // namespace gpu
