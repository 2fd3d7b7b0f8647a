#pragma once

#include "map-data/Basemap.h"

#include <cstdint>
#include <vector>

namespace velorin {

// Which neighbouring countries' aerial photos (Spain, Switzerland, Austria) reach a web
// tile: the loader sends orthophoto tiles they touch to the mosaic queue. Any thread.

// The basemaps whose coverage box touches tile (z, x, y), edges included, in the order
// Spain, Switzerland, Austria, keeping those whose level range holds z.
std::vector<Basemap> coverageSources(int64_t z, int64_t x, int64_t y);

} // namespace velorin
