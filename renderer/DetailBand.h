#pragma once

#include "map-data/WorldRect.h"

namespace velorin {

// A stretch of the view between two depths along the line of sight, drawn with tiles
// `drop` levels coarser than the camera's (negative: finer, near the eye). A flat view has
// one `whole` band without depth limits. A plain value; any thread.
struct DetailBand {
    WorldRect rect;
    // View depths in pixels.
    double near = 0;
    double far = 0;
    bool whole = false;
    int drop = 0;

    bool operator==(const DetailBand&) const = default;
};

} // namespace velorin
