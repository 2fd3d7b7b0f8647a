#include "renderer/TextureImage.h"

#include <cstdint>

namespace velorin {

namespace {
constexpr std::size_t kBytesPerPixel = 4;
}

platform::Image textureImage(const gpu::RenderTarget& target)
{
    const std::vector<std::uint8_t> rgba = target.readRGBA();
    platform::Image image;
    image.width = target.width();
    image.height = target.height();
    image.pixels.resize(rgba.size());
    for (std::size_t at = 0; at < rgba.size(); ++at) {
        const bool alpha = at % kBytesPerPixel == kBytesPerPixel - 1;
        image.pixels[at] = std::byte(alpha ? 0xff : rgba[at]);
    }
    return image;
}

} // namespace velorin
