#include "canvas/InertiaSpeedLimit.h"

#include <algorithm>
#include <cmath>

namespace velorin {

double InertiaSpeedLimit::maxSpeed(const Camera& camera)
{
    const double metersPerUnit = camera.center.metersPerWorldUnit();
    double eyeHeight = metersPerUnit / (std::exp2(camera.zoom) * kWorldPixelsAtZoomZero) * camera.focalLength
        * camera.viewSize.height * std::cos(camera.pitch);
    if (!(eyeHeight > 0))
        eyeHeight = 0;
    return kEyeHeightsPerSecond * eyeHeight + kBaseSpeedMetersPerSecond;
}

WorldPoint InertiaSpeedLimit::limited(const Camera& camera, WorldPoint oldCenter, double dt)
{
    const WorldPoint center = camera.center;
    if (!(camera.pitch > kMinLimitedPitchRadians))
        return center;
    const double moved = std::hypot(center.x - oldCenter.x, center.y - oldCenter.y) * center.metersPerWorldUnit();
    const double limit = maxSpeed(camera) * std::min(std::max(dt, kMinFrameSeconds), kMaxFrameSeconds);
    if (!(moved > limit))
        return center;
    const double share = limit / moved;
    return {oldCenter.x + (center.x - oldCenter.x) * share, oldCenter.y + (center.y - oldCenter.y) * share};
}

} // namespace velorin
