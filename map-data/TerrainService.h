#pragma once

// Elevation under every point of the map: IGN's high-resolution grid inside France,
// Terrarium tiles elsewhere and in the grid's holes. The static functions are pure and
// may run on any thread.

#include "map-data/ElevationGrid.h"
#include "map-data/TerrainKey.h"

#include "platform/Image.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace velorin {

class TerrainService {
public:
    using Key = TerrainKey;

    // Whether the tile takes IGN's grid: level 9 or deeper with its centre in the box
    // around mainland France and Corsica.
    static bool usesIGN(int z, int x, int y);

    // Where the tile's raw elevation bytes live in the disk store's cache root.
    static std::string diskKey(int z, int x, int y);
    static std::string terrariumDiskKey(int z, int x, int y);

    // A BIL grid (exactly 262,144 bytes not starting with the PNG signature) or a
    // 256 × 256 Terrarium image; nothing for anything else.
    static std::optional<ElevationGrid> decodeTerrarium(std::span<const std::byte> bytes);

    // 65,536 little-endian 32-bit floats. No-data values (below −100 m, above 9,000 m or
    // not finite) and their eight neighbours become NaN, since the cells next to a hole
    // carry the provider's interpolation artefacts.
    static std::optional<ElevationGrid> decodeBIL(std::span<const std::byte> bytes);

    // Heights of a decoded Terrarium image: R·256 + G + B/256 − 32768 metres. Nothing
    // unless it is 256 × 256.
    static std::optional<ElevationGrid> terrariumHeights(const platform::Image& image);

    // For an IGN tile, the cells outside France's outline become NaN, to be filled from
    // Terrarium; other grids are returned as they are.
    static ElevationGrid franceMasked(ElevationGrid grid, int z, int x, int y);

    // The Terrarium tile that fills a grid's holes: the key itself down to level 15,
    // its level-15 ancestor deeper (Terrarium stops there).
    static Key terrariumFillKey(const Key& key);

    // The grid with each NaN cell read from the matching spot of `terrarium`, the grid of
    // `terrariumFillKey(key)`.
    static ElevationGrid filledFromTerrarium(ElevationGrid grid, const ElevationGrid& terrarium, const Key& key);
};

} // namespace velorin
