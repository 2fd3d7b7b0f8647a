#include "platform/ImageCodecs.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace platform {

namespace {

using TurboHandle = std::unique_ptr<void, int (*)(tjhandle)>;

// A truncated or damaged stream is a failure, never a grey-filled partial tile; the scan
// limit keeps a hostile progressive file from spinning for minutes.
constexpr int kDecodeFlags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;

// The smallest size libjpeg-turbo can decode to directly that still covers `target`.
ImageSize nativeScaledSize(ImageSize original, ImageSize target)
{
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    ImageSize best = original;
    for (int i = 0; i < count; ++i) {
        const ImageSize scaled{TJSCALED(original.width, factors[i]), TJSCALED(original.height, factors[i])};
        if (scaled.width >= target.width && scaled.height >= target.height && scaled.width <= best.width
            && scaled.height <= best.height)
            best = scaled;
    }
    return best;
}

} // namespace

std::optional<Image> decodeJpeg(std::span<const std::byte> bytes, ImageSize target)
{
    TurboHandle handle(tjInitDecompress(), tjDestroy);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto size = static_cast<unsigned long>(bytes.size());
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (!handle || tjDecompressHeader3(handle.get(), data, size, &width, &height, &subsampling, &colourspace) != 0)
        return std::nullopt;

    const ImageSize scaled = nativeScaledSize({width, height}, target);
    Image image;
    image.width = scaled.width;
    image.height = scaled.height;
    image.pixels.resize(size_t(scaled.width) * scaled.height * 4);
    if (tjDecompress2(handle.get(), data, size, reinterpret_cast<unsigned char*>(image.pixels.data()), scaled.width,
            0, scaled.height, TJPF_RGBA, kDecodeFlags)
        != 0)
        return std::nullopt;
    return image;
}

std::optional<std::vector<std::byte>> encodeJpeg(const Image& image, double quality)
{
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != size_t(image.width) * image.height * 4
        || !std::isfinite(quality))
        return std::nullopt;
    TurboHandle handle(tjInitCompress(), tjDestroy);
    if (!handle)
        return std::nullopt;
    const int percent = std::clamp(int(std::lround(quality * 100)), 1, 100);
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    const int failed = tjCompress2(handle.get(), reinterpret_cast<const unsigned char*>(image.pixels.data()),
        image.width, 0, image.height, TJPF_RGBA, &output, &outputSize, TJSAMP_420, percent, 0);
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(output, tjFree);
    if (failed != 0)
        return std::nullopt;
    const auto* begin = reinterpret_cast<const std::byte*>(output);
    return std::vector<std::byte>(begin, begin + outputSize);
}

} // namespace platform
