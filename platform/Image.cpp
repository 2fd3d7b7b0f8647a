#include "platform/Image.h"

#include "platform/ImageCodecs.h"
#include "platform/ImageResampler.h"

#include <turbojpeg.h>
#include <webp/decode.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

namespace platform {

namespace {

constexpr std::array<unsigned char, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kPngHeaderBytes = 24; // signature, IHDR length and type, width, height

bool startsWith(std::span<const std::byte> bytes, std::span<const unsigned char> prefix, size_t at = 0)
{
    return bytes.size() >= at + prefix.size() && std::memcmp(bytes.data() + at, prefix.data(), prefix.size()) == 0;
}

uint32_t bigEndian32(const std::byte* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

std::optional<ImageInfo> probePng(std::span<const std::byte> bytes)
{
    constexpr std::array<unsigned char, 4> kIhdr = {'I', 'H', 'D', 'R'};
    // PNG sizes are at most 2^31 - 1 in each direction.
    constexpr uint32_t kMaxPngDimension = 0x7FFFFFFF;
    if (bytes.size() < kPngHeaderBytes || !startsWith(bytes, kIhdr, 12))
        return std::nullopt;
    const uint32_t width = bigEndian32(bytes.data() + 16);
    const uint32_t height = bigEndian32(bytes.data() + 20);
    if (width == 0 || height == 0 || width > kMaxPngDimension || height > kMaxPngDimension)
        return std::nullopt;
    return ImageInfo{ImageFormat::png, int(width), int(height)};
}

std::optional<ImageInfo> probeJpeg(std::span<const std::byte> bytes)
{
    std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (!handle
        || tjDecompressHeader3(handle.get(), reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()), &width, &height, &subsampling, &colourspace)
            != 0
        || width <= 0 || height <= 0)
        return std::nullopt;
    return ImageInfo{ImageFormat::jpeg, width, height};
}

std::optional<ImageInfo> probeWebp(std::span<const std::byte> bytes)
{
    int width = 0, height = 0;
    if (!WebPGetInfo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &width, &height) || width <= 0
        || height <= 0)
        return std::nullopt;
    return ImageInfo{ImageFormat::webp, width, height};
}

} // namespace

ImageSize fittedSize(ImageSize original, int maxDimension)
{
    const int longer = std::max(original.width, original.height);
    if (maxDimension <= 0 || longer <= maxDimension)
        return original;
    const double scale = double(maxDimension) / longer;
    return {std::max(1, int(std::lround(original.width * scale))), std::max(1, int(std::lround(original.height * scale)))};
}

std::optional<ImageInfo> probeImage(std::span<const std::byte> bytes)
{
    constexpr std::array<unsigned char, 3> kJpegStart = {0xFF, 0xD8, 0xFF};
    constexpr std::array<unsigned char, 4> kRiff = {'R', 'I', 'F', 'F'};
    constexpr std::array<unsigned char, 4> kWebp = {'W', 'E', 'B', 'P'};
    if (startsWith(bytes, kPngSignature))
        return probePng(bytes);
    if (startsWith(bytes, kJpegStart))
        return probeJpeg(bytes);
    if (startsWith(bytes, kRiff) && startsWith(bytes, kWebp, 8))
        return probeWebp(bytes);
    return std::nullopt;
}

std::optional<Image> decodeImage(std::span<const std::byte> bytes, const ImageDecodeOptions& options)
{
    const auto info = probeImage(bytes);
    if (!info || int64_t(info->width) * info->height > options.maxPixels)
        return std::nullopt;
    const ImageSize target = fittedSize({info->width, info->height}, options.maxDimension);

    std::optional<Image> image;
    switch (info->format) {
    case ImageFormat::jpeg:
        image = decodeJpeg(bytes, target);
        break;
    case ImageFormat::png:
        image = decodePng(bytes, target);
        break;
    case ImageFormat::webp:
        image = decodeWebp(bytes, target);
        break;
    }
    if (image && (image->width != target.width || image->height != target.height))
        image = downscale(*image, target.width, target.height);
    return image;
}

} // namespace platform
