#include "map-data/TextureDecoding.h"

#include <new>
#include <utility>

namespace velorin {

namespace {

constexpr unsigned kOpaque = 255;

// Rounds to nearest, so an opaque channel and a transparent one come out exact.
void premultiplyAlpha(std::span<std::byte> rgba)
{
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        unsigned alpha = std::to_integer<unsigned>(rgba[i + 3]);
        if (alpha == kOpaque)
            continue;
        for (std::size_t c = 0; c < 3; ++c)
            rgba[i + c] = std::byte((std::to_integer<unsigned>(rgba[i + c]) * alpha + kOpaque / 2) / kOpaque);
    }
}

} // namespace

std::optional<platform::Image> decodeTilePixels(std::span<const std::byte> bytes)
{
    if (bytes.empty())
        return std::nullopt;
    platform::ImageDecodeOptions options;
    options.maxPixels = kMaxTilePixels;
    std::optional<platform::Image> image;
    try {
        image = platform::decodeImage(bytes, options);
    } catch (const std::bad_alloc&) {
        // A tile too big for the memory left is a tile not shown, never a crash.
    }
    if (!image)
        return std::nullopt;
    premultiplyAlpha(image->pixels);
    return image;
}

std::shared_ptr<gpu::Texture> decodeTexture(std::span<const std::byte> bytes)
{
    auto image = decodeTilePixels(bytes);
    if (!image)
        return nullptr;
    return gpu::Texture::make(gpu::PixelFormat::rgba8, image->width, image->height, std::move(image->pixels));
}

} // namespace velorin
