#pragma once

#include "map-data/WorldPoint.h"

#include <span>

namespace velorin {

// An area of the map in world units (see `WorldPoint`): minY is the north edge. May be
// degenerate (a single point). A plain value; any thread.
struct WorldRect {
    double minX = 0;
    double minY = 0;
    double maxX = 0;
    double maxY = 0;

    // The smallest rectangle holding every point; `points` must not be empty.
    static WorldRect boundingRect(std::span<const WorldPoint> points);

    bool operator==(const WorldRect&) const = default;
};

} // namespace velorin
