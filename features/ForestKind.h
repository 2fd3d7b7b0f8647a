#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velorin {

// The kind of ground a pixel of the national forest inventory map shows, by its raw byte.
enum class ForestKind : std::uint8_t {
    none = 0,
    conifer = 1,
    broadleaf = 2,
    mixed = 3,
    openConifer = 4,
    openBroadleaf = 5,
    openMixed = 6,
    heath = 7,
    oak = 8,
    evergreenOak = 9,
};

// The kinds of a zoom-15 tile: 256 × 256 raw bytes, row by row from the north-west corner.
using ForestKinds = std::vector<std::uint8_t>;

inline constexpr int kForestTileSide = 256;
inline constexpr std::size_t kForestTilePixels = std::size_t(kForestTileSide) * kForestTileSide;

// One colour of the inventory map's legend and the kind it stands for.
struct ForestPaletteEntry {
    int red = 0;
    int green = 0;
    int blue = 0;
    ForestKind kind = ForestKind::none;
};

// The 32 legend colours, in the order that breaks ties between equally near colours.
std::span<const ForestPaletteEntry> forestPalette();

// The kind of every pixel of an inventory tile image: nothing unless the data decodes to
// exactly 256 × 256 pixels. Pixels are compared premultiplied, as drawn over nothing: at
// most half opaque is `none`, otherwise the nearest legend colour, or `none` when even that
// lies 60 levels or more away (squared distance 3600). Any thread.
std::optional<ForestKinds> classifyKinds(std::span<const std::byte> data);

// Whether a tile shows any forest, heath or moor at all.
bool hasForest(const ForestKinds& kinds);

} // namespace velorin
