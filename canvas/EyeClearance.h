#pragma once

#include "map-data/WorldPoint.h"
#include "renderer/Camera.h"

#include <functional>

namespace velorin {

// The pitch that keeps the eye of a pitched camera clear of a mountain face. The relief
// is drawn compressed below 75° of pitch (by sin(pitch)/sin(75°)), so heights are
// compared in that drawn scale. Pure functions; any thread.
struct EyeClearance {
    static constexpr double kClearanceMeters = 15;
    static constexpr double kFullReliefPitchRadians = 1.3089969389957472;
    static constexpr double kSinFullReliefPitch = 0.9659258262890683;
    static constexpr double kPitchStepRadians = 0.017453292519943295;

    // Ground elevation in metres at a world point, at the frame's elevation zoom.
    using Elevation = std::function<double(WorldPoint)>;

    // The camera's pitch when the eye clears the ground beneath it by 15 m; otherwise the
    // pitch lowered by whole degrees until it does, at least 0.
    static double clearedPitch(const Camera& camera, double baseElevationMeters, const Elevation& elevation);
    // How much the drawn relief is compressed at a pitch: 1 from 75° up.
    static double reliefCompression(double pitch);
};

} // namespace velorin
