#pragma once

namespace platform {

// One position fix of the device, as the location source delivers it. A plain value; any
// thread. Accuracies are radii in metres, negative when unknown; an altitude is usable only
// with a vertical accuracy of zero or more, and is NaN on a fix without one.
struct LocationFix {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    double horizontalAccuracy = -1;
    double verticalAccuracy = -1;
    // Metres per second over the ground, negative when unknown.
    double speed = -1;
    // Degrees clockwise from true north of the direction of travel, negative when unknown.
    double course = -1;
    // Seconds since the Unix epoch at which the fix was taken.
    double timestamp = 0;

    bool operator==(const LocationFix&) const = default;
};

} // namespace platform
