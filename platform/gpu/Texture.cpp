#include "platform/gpu/Texture.h"

#include "platform/Log.h"
#include "platform/gpu/Context.h"

#include <epoxy/gl.h>

#include <cassert>

namespace gpu {

namespace {

constexpr std::string_view kLogCategory = "GPU";

std::size_t bytesPerPixel(PixelFormat format)
{
    switch (format) {
    case PixelFormat::rgba8: return 4;
    case PixelFormat::r16: return 2;
    }
    return 0;
}

} // namespace

std::shared_ptr<Texture> Texture::make(PixelFormat format, int width, int height, std::vector<std::byte> pixels)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    if (pixels.size() != std::size_t(width) * std::size_t(height) * bytesPerPixel(format))
        return nullptr;
    return std::shared_ptr<Texture>(new Texture(format, width, height, std::move(pixels)));
}

Texture::Texture(PixelFormat format, int width, int height, std::vector<std::byte> pixels)
    : format_(format)
    , width_(width)
    , height_(height)
    , byteSize_(pixels.size())
    , pixels_(std::move(pixels))
{
}

Texture::~Texture()
{
    if (auto deletions = deletions_.lock())
        deletions->release(GlObjectKind::texture, name_);
}

unsigned Texture::glName(Context& context)
{
    if (name_ == 0 && !uploadFailed_)
        upload(context);
    const auto& queue = context.deletionQueue();
    const bool sameContext = !deletions_.owner_before(queue) && !queue.owner_before(deletions_);
    if (name_ != 0 && !sameContext) {
        assert(!"a texture is drawn only by the context that uploaded it");
        return 0;
    }
    return name_;
}

void Texture::upload(Context& context)
{
    if (width_ > context.maxTextureSize() || height_ > context.maxTextureSize()) {
        uploadFailed_ = true;
        pixels_ = {};
        platform::Log::error(kLogCategory, "texture {}×{} trop grande pour le contexte (max {})", width_, height_,
            context.maxTextureSize());
        return;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    // Rows of an R16 texture with an odd width are not 4-byte aligned.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    switch (format_) {
    case PixelFormat::rgba8:
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width_, height_, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels_.data());
        break;
    case PixelFormat::r16:
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R16, width_, height_, 0, GL_RED, GL_UNSIGNED_SHORT, pixels_.data());
        break;
    }
    name_ = name;
    deletions_ = context.deletionQueue();
    pixels_ = {};
}

} // namespace gpu
