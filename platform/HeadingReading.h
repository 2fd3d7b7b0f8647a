#pragma once

namespace platform {

// One reading of the device's compass, in degrees clockwise from north. A plain value; any
// thread. A negative accuracy marks a reading that cannot be used; a negative true heading
// means only the magnetic one is known.
struct HeadingReading {
    double magneticHeading = 0;
    double trueHeading = -1;
    double headingAccuracy = -1;

    bool operator==(const HeadingReading&) const = default;
};

} // namespace platform
