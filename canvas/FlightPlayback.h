#pragma once

#include <optional>

namespace velorin {

// Where a flight's playback stands: whether it moves or waits for frames prepared ahead,
// the flight time last shown, the media time of the last playback step and the flight time
// to show next. A plain value; GUI thread only.
struct FlightPlayback {
    bool moving = false;
    double elapsed = 0;
    std::optional<double> lastTime;
    std::optional<double> pending;

    bool operator==(const FlightPlayback&) const = default;
};

} // namespace velorin
