#pragma once

#include "renderer/Camera.h"

namespace velorin {

// The glide left by a drag once the finger lifts: a screen velocity that decays
// exponentially, so that the distance covered does not depend on the frame rate. A plain
// value; the canvas keeps one on the GUI thread.
struct PanInertia {
    // At or below this speed the glide stops.
    static constexpr double kStopSpeedPixelsPerSecond = 20;
    // The velocity falls as e^(−rate·t): a flick at speed v travels v/rate pixels in all.
    static constexpr double kDecayRatePerSecond = 4;

    // Drawable pixels per second, in the screen's directions; (0, 0) is no glide.
    Camera::Point velocity;

    bool isMoving() const;
    // The displacement (pixels) covered during `dt` seconds, decaying the velocity; a
    // slow glide or a non-positive dt stops it and moves nothing.
    Camera::Point step(double dt);

    bool operator==(const PanInertia&) const = default;
};

} // namespace velorin
