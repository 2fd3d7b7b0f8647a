#pragma once

// The pixel tests and conversions of the aerial mosaic, on decoded photo tiles held as
// 8-bit RGBX (`platform::Image` whose alpha byte is ignored). Pure functions; any thread.

#include "platform/Image.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velorin {

// One byte a pixel, row-major from the top row: 1 where set, 0 elsewhere.
using PixelMask = std::vector<std::uint8_t>;

// A pixel is white, the colour of the orthophoto's empty areas, when R, G and B all reach this.
inline constexpr int kWhiteMinimumLevel = 250;
// Two side-by-side pixels whose green bytes differ by at most this form a green pair.
inline constexpr int kGreenPairTolerance = 1;
// Photo imagery under a mask counts as textured below this share of green pairs.
inline constexpr double kTexturedGreenPairShare = 0.47;
// A block with at least this share of green pairs is flat (a blank or padded area).
inline constexpr double kFlatGreenPairShare = 0.8;
inline constexpr int kFlatBlockSidePixels = 32;
inline constexpr double kMosaicJpegQuality = 0.85;

// Set where R, G and B are all at least `kWhiteMinimumLevel`.
PixelMask whiteMask(const platform::Image& image);

// Every set pixel sets the (2·radius + 1)² square centred on it, clipped to the image.
PixelMask dilateMask(int width, int height, int radius, const PixelMask& mask);

// Over the masked pixels that have a right-hand neighbour, whether green pairs are fewer
// than `kTexturedGreenPairShare` of all pairs; false when there is no pair at all.
bool isTexturedUnder(const PixelMask& mask, const platform::Image& image);

// Whether any 32 × 32 block, scanned row by row from the top left, has pairs of which at
// least `kFlatGreenPairShare` are green.
bool hasFlatBlock(const platform::Image& image);

// The first image of `data` at its own size; transparent parts are drawn over black.
// Nothing when the data is not an image, or an image too large for a tile.
std::optional<platform::Image> decodeRGBX(std::span<const std::byte> data);

// JPEG at quality `kMosaicJpegQuality`; nothing on failure.
std::optional<std::vector<std::byte>> encodeJPEG(const platform::Image& image);

// The rectangle of `source` at (x, y) of size cropWidth × cropHeight, which must lie
// inside it, drawn bilinearly into a width × height image.
platform::Image drawScaled(const platform::Image& source, int x, int y, int cropWidth, int cropHeight, int width,
    int height);

// Copies R, G and B of `source` into `target` at every pixel set in `where`; both images
// have the mask's size.
void copyColours(platform::Image& target, const platform::Image& source, const PixelMask& where);

} // namespace velorin
