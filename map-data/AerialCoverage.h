#pragma once

#include "map-data/Basemap.h"
#include "map-data/WorldRect.h"

#include <cstdint>
#include <span>
#include <vector>

namespace velorin {

// Where the neighbouring countries' aerial photos (Spain, Switzerland, Austria) reach: the
// loader sends orthophoto tiles they touch to the mosaic, and the map may be panned over
// them. Any thread.

// One source's box in degrees.
struct AerialCoverageBox {
    Basemap basemap;
    double minLatitude;
    double maxLatitude;
    double minLongitude;
    double maxLongitude;
};

// Spain, Switzerland, Austria, in that order.
std::span<const AerialCoverageBox> aerialCoverage();

// The union of the boxes in world units, computed once.
const WorldRect& aerialCoverageBounds();

// The basemaps whose coverage box touches tile (z, x, y), edges included, in the order
// Spain, Switzerland, Austria, keeping those whose level range holds z.
std::vector<Basemap> coverageSources(int64_t z, int64_t x, int64_t y);

} // namespace velorin
