#include "canvas/FilmSize.h"

#include <algorithm>
#include <cmath>

namespace velorin {

FilmSize FilmSize::of(int height, double poseWidth, double poseHeight)
{
    const int even = std::max(2, height + (height & 1));
    const double aspect = std::isfinite(poseWidth / poseHeight) && poseWidth > 0 ? poseWidth / std::max(1.0, poseHeight) : 1;
    const int width = 2 * int(std::lround(0.5 * even * aspect));
    return {std::max(2, width), even};
}

} // namespace velorin
