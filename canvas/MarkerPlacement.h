#pragma once

#include "renderer/Camera.h"

namespace velorin {

// Where a marker over the map stands in one frame: which marker, its centre in view points
// and whether it is hidden. A plain value; any thread.
struct MarkerPlacement {
    int marker = 0;
    Camera::Point center;
    bool hidden = false;

    bool operator==(const MarkerPlacement&) const = default;
};

} // namespace velorin
