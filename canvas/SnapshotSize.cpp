#include "canvas/SnapshotSize.h"

#include <algorithm>
#include <cmath>

namespace velorin {

SnapshotSize SnapshotSize::of(Camera::Size viewPixels, std::optional<double> maxDimension)
{
    double scale = 1;
    if (maxDimension)
        scale = std::min(1.0, *maxDimension / std::max(viewPixels.width, viewPixels.height));
    return {std::max(kMinSidePixels, int(std::lround(viewPixels.width * scale))),
        std::max(kMinSidePixels, int(std::lround(viewPixels.height * scale))), scale};
}

} // namespace velorin
