#pragma once

namespace velorin {

// One point of a track's altitude profile. A plain value; any thread.
struct TrackProfileSample {
    int id = 0;          // its position in the profile, from 0
    double distance = 0; // metres along the track from its first point
    double altitude = 0; // metres

    bool operator==(const TrackProfileSample&) const = default;
};

} // namespace velorin
