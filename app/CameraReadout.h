#pragma once

#include "map-data/WorldPoint.h"
#include "renderer/Camera.h"

#include <string>

namespace velorin {

// The texts of the camera readout panel, numbers written the French way: where the camera
// aims and where its eye is ("45,92000° N  6,87000° E"), the eye's altitude, the angles, the
// zoom, the focal factor; and the "-startAt" line that reopens the view, in the C locale as
// the gesture journal writes it. A value that is not a finite number reads "—". Any thread.
struct CameraReadout {
    static constexpr const char* kMissing = "—";

    static std::string position(WorldPoint point);
    static std::string altitude(double meters);
    // Within (-180°, 180°].
    static std::string bearing(double radians);
    static std::string pitch(double radians);
    static std::string zoom(double zoom);
    static std::string focal(double focalLength);
    static std::string launchLine(const Camera& camera);
};

} // namespace velorin
