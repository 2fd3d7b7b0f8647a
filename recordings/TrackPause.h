#pragma once

#include "platform/Iso8601.h"

#include <string>

namespace velorin {

// A place where the walker stayed: the mean position of the stay's points and the times
// of its first and last point. A plain value; any thread.
struct TrackPause {
    int id = 0; // its position among the track's pauses, from 0
    double latitude = 0;
    double longitude = 0;
    platform::SystemTime start;
    platform::SystemTime end;

    // The chip text: "5 min" below an hour, "1 h 05" from an hour on.
    std::string label() const;

    bool operator==(const TrackPause&) const = default;
};

} // namespace velorin
