#pragma once

#include "canvas/MarkerPlacement.h"
#include "features/ToponymLayout.h"

#include <vector>

namespace velorin {

// What stands over the map in one prepared frame, placed for that frame's camera, so that a
// played-back flight moves it with the ground. A plain value; GUI thread only.
struct FrameOverlays {
    std::vector<MarkerPlacement> markers;
    std::vector<ToponymLayout::Placement> labels;

    bool operator==(const FrameOverlays&) const = default;
};

} // namespace velorin
