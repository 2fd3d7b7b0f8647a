#pragma once

#include <cstdint>

namespace platform {

// One report of how the device is moving: any of the five flags (none set is an unknown
// activity) and how sure the report is. A plain value; any thread.
struct MotionActivity {
    enum class Confidence : std::uint8_t { low, medium, high };

    bool stationary = false;
    bool walking = false;
    bool running = false;
    bool cycling = false;
    bool automotive = false;
    Confidence confidence = Confidence::low;

    bool operator==(const MotionActivity&) const = default;
};

} // namespace platform
