#pragma once

#include "map-data/WorldRect.h"
#include "renderer/Camera.h"

#include <vector>

namespace velorin {

// A stretch of view depth whose tiles share one level of detail: the nearest band gets
// up to three levels finer tiles than the camera's level, and every farther band halves
// the detail. A plain value; any thread.
struct DesiredTileBand {
    // At most this many finer levels near the eye.
    static constexpr int kMaxFinerLevels = 3;

    WorldRect rect;
    // View depths in pixels; both 0 for the single band of a flat camera.
    double near = 0;
    double far = 0;
    // A flat camera's single band, covering the whole rectangle.
    bool whole = false;
    // Levels by which the band is coarser than the camera's level; negative near the eye.
    int drop = 0;

    // The bands of a camera from the farthest to the nearest; a band that shows no ground
    // is left out. A flat camera gives one `whole` band over `rect`.
    static std::vector<DesiredTileBand> of(const Camera& camera, const WorldRect& rect, int finerLevels);

    bool operator==(const DesiredTileBand&) const = default;
};

} // namespace velorin
