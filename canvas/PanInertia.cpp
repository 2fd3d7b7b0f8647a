#include "canvas/PanInertia.h"

#include <cmath>

namespace velorin {

bool PanInertia::isMoving() const
{
    return std::hypot(velocity.x, velocity.y) > kStopSpeedPixelsPerSecond;
}

Camera::Point PanInertia::step(double dt)
{
    if (!isMoving() || !(dt > 0)) {
        velocity = {};
        return {};
    }
    const double kept = std::exp(-kDecayRatePerSecond * dt);
    const Camera::Point moved {velocity.x * (1 - kept) / kDecayRatePerSecond,
        velocity.y * (1 - kept) / kDecayRatePerSecond};
    velocity = {velocity.x * kept, velocity.y * kept};
    return moved;
}

} // namespace velorin
