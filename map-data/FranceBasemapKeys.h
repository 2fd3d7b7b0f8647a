#pragma once

#include "map-data/SheetCatalog.h"
#include "map-data/TileKey.h"

#include <vector>

namespace velorin {

// The base-map tiles prepared for use without a network: every pyramid tile of levels 5
// to 10 over mainland France and Corsica, joined with the sheet catalogue's rectangle when
// it has sheets, with one tile of margin clamped to the world. Level after level, column
// after column, row after row. Any thread.

inline constexpr int kFranceBasemapFirstLevel = 5;
inline constexpr int kFranceBasemapLastLevel = 10;

std::vector<TileKey> franceBasemapKeys(const SheetCatalog& catalog);

} // namespace velorin
