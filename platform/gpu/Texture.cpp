#include "platform/gpu/Texture.h"

namespace gpu {

namespace {

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

Texture::~Texture() = default;

} // namespace gpu
