#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {

// Decoded pixels: RGBA8, row 0 at the top, tightly packed, straight (not premultiplied)
// alpha.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::byte> pixels;

    std::size_t byteSize() const { return pixels.size(); }
    bool operator==(const Image&) const = default;
};

enum class ImageFormat { jpeg, png, webp };

struct ImageInfo {
    ImageFormat format;
    int width = 0;
    int height = 0;
};

struct ImageDecodeOptions {
    // Images whose header announces more pixels are refused before any allocation.
    int64_t maxPixels = int64_t(16384) * 16384;
    // When positive, the image is scaled down (never up) to fit this many pixels on its
    // longer side, keeping its proportions.
    int maxDimension = 0;
};

// Reads the format and size from the header alone; nothing for unknown or broken headers.
std::optional<ImageInfo> probeImage(std::span<const std::byte> bytes);

// JPEG, PNG (grey, grey with alpha, indexed, 16-bit) or WebP to RGBA8. Truncated, empty,
// oversized or garbage input gives nothing, never a partial image. Any thread.
std::optional<Image> decodeImage(std::span<const std::byte> bytes, const ImageDecodeOptions& options = {});

// `quality` in 0…1.
std::optional<std::vector<std::byte>> encodeJpeg(const Image& image, double quality);
std::optional<std::vector<std::byte>> encodePng(const Image& image);

} // namespace platform
