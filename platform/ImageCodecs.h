#pragma once

// The format decoders and encoders behind Image.h, and the size an image is decoded to.
// A decoder is handed a size its header was already checked against; it may use the
// format's own scaling to come closer to `target`, never below it. Any thread.

#include "platform/Image.h"

#include <optional>
#include <span>
#include <utility>

namespace platform {

struct ImageSize {
    int width = 0;
    int height = 0;
    bool operator==(const ImageSize&) const = default;
};

// The size that fits `maxDimension` on the longer side (0: no limit), never larger than the original.
ImageSize fittedSize(ImageSize original, int maxDimension);

std::optional<Image> decodeJpeg(std::span<const std::byte> bytes, ImageSize target);
std::optional<Image> decodePng(std::span<const std::byte> bytes, ImageSize target);
std::optional<Image> decodeWebp(std::span<const std::byte> bytes, ImageSize target);

} // namespace platform
