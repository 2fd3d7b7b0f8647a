#include "platform/ImageCodecs.h"

#include <webp/decode.h>

namespace platform {

std::optional<Image> decodeWebp(std::span<const std::byte> bytes, ImageSize target)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config) || WebPGetFeatures(data, bytes.size(), &config.input) != VP8_STATUS_OK)
        return std::nullopt;

    Image image;
    image.width = target.width;
    image.height = target.height;
    image.pixels.resize(size_t(target.width) * target.height * 4);
    if (target.width != config.input.width || target.height != config.input.height) {
        config.options.use_scaling = 1;
        config.options.scaled_width = target.width;
        config.options.scaled_height = target.height;
    }
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = reinterpret_cast<uint8_t*>(image.pixels.data());
    config.output.u.RGBA.stride = target.width * 4;
    config.output.u.RGBA.size = image.pixels.size();
    const VP8StatusCode status = WebPDecode(data, bytes.size(), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        return std::nullopt;
    return image;
}

} // namespace platform
