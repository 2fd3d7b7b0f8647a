#pragma once

#include "map-data/WorldPoint.h"
#include "renderer/Camera.h"

namespace velorin {

// Keeps a glide on a tilted view from hurling the camera across the country: the centre
// may move at most 80 km/h plus 1.2 eye heights per second. Views pitched 0.3 rad or
// less are never limited. A pure function; any thread.
struct InertiaSpeedLimit {
    static constexpr double kMinLimitedPitchRadians = 0.3;
    static constexpr double kBaseSpeedMetersPerSecond = 22.22222222222222;
    static constexpr double kEyeHeightsPerSecond = 1.2;
    static constexpr double kMinFrameSeconds = 1.0 / 120;
    static constexpr double kMaxFrameSeconds = 0.1;

    // The fastest glide on this camera, metres per second.
    static double maxSpeed(const Camera& camera);
    // The camera's centre after a glide from `oldCenter` during `dt`, pulled back along
    // the move when it went too far.
    static WorldPoint limited(const Camera& camera, WorldPoint oldCenter, double dt);
};

} // namespace velorin
