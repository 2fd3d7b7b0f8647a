// JPEG, PNG and WebP decoding under a pixel cap, with and without scaling down.

#include "fuzz/FuzzCheck.h"
#include "platform/Image.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span bytes(reinterpret_cast<const std::byte*>(data), size);
    // A cap that real tiles and photos pass and hostile headers do not.
    constexpr int64_t maxPixels = int64_t(4096) * 4096;
    const auto info = platform::probeImage(bytes);

    for (const int maxDimension : {0, 256}) {
        const auto image = platform::decodeImage(bytes, {.maxPixels = maxPixels, .maxDimension = maxDimension});
        if (!image)
            continue;
        FUZZ_CHECK(info.has_value());
        FUZZ_CHECK(image->width > 0 && image->height > 0);
        FUZZ_CHECK(int64_t(image->width) * image->height <= maxPixels);
        FUZZ_CHECK(image->pixels.size() == std::size_t(image->width) * image->height * 4);
        if (maxDimension == 0) {
            FUZZ_CHECK(image->width == info->width && image->height == info->height);
        } else {
            FUZZ_CHECK(image->width <= info->width && image->height <= info->height);
            FUZZ_CHECK(image->width <= maxDimension && image->height <= maxDimension);
        }
    }
    return 0;
}
