#pragma once

// Which cells of an elevation tile lie outside a country's outline, so that heights from
// a national grid are used only where the country covers them. Any thread.

#include "map-data/CountryOutline.h"

#include <optional>
#include <vector>

namespace velorin {

// Cells per side of the mask: one per elevation grid cell.
inline constexpr int kOutlineMaskSide = 256;

// Row-major, row 0 at the tile's north edge; true marks a cell more than about 250 m
// outside the outline. Nothing when the outline covers the whole tile. The rectangle is
// the tile's, in world units.
std::optional<std::vector<bool>> countryOutlineMask(const CountryOutline& outline,
    double minX, double minY, double maxX, double maxY);

// The same for the France outline resource.
std::optional<std::vector<bool>> countryOutlineMask(double minX, double minY, double maxX, double maxY);

} // namespace velorin
