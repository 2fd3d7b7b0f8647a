#pragma once

// Turns the bytes of one map tile (JPEG, PNG or WebP, from the network, the disk store,
// the aerial mosaic or the sheet slicer) into a texture. Any thread: the work is all on
// the CPU and no GL context is needed; the texture uploads itself when first drawn.

#include "platform/Image.h"
#include "platform/gpu/Texture.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace velorin {

// Tiles are at most a few thousand pixels a side; a header announcing more is refused
// before anything is allocated.
inline constexpr std::int64_t kMaxTilePixels = std::int64_t(8192) * 8192;

// The tile's pixels as its texture holds them: RGBA8 with the alpha premultiplied (unlike
// a freshly decoded image), values as stored in the file with no colour-space conversion,
// row 0 at the top. Nothing for empty, truncated, oversized or undecodable bytes,
// including the empty mark of a tile missing upstream.
std::optional<platform::Image> decodeTilePixels(std::span<const std::byte> bytes);

// The texture of those pixels (gpu::PixelFormat::rgba8, no mipmaps); null when the bytes
// do not decode. Never throws.
std::shared_ptr<gpu::Texture> decodeTexture(std::span<const std::byte> bytes);

} // namespace velorin
