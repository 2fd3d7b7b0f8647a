#pragma once

#include <optional>

namespace velorin {

struct Track;

// The figures shown for a track. A plain value; any thread.
struct TrackStatistics {
    double distance = 0; // metres along every point
    double ascent = 0;   // metres climbed, counted in steps of at least 8 m
    double descent = 0;  // metres descended, likewise
    // Seconds from the start to the end (or the last point), never negative; not a number
    // for a track whose times are unknown, which the screens show as such.
    double duration = 0;
    std::optional<double> minimumAltitude;
    std::optional<double> maximumAltitude;

    // Climbs and descents smaller than this from the last counted altitude wait until they
    // add up: GPS altitude noise must not count as climbing.
    static constexpr double kClimbThresholdMeters = 8;

    TrackStatistics() = default;
    explicit TrackStatistics(const Track& track);

    bool operator==(const TrackStatistics&) const = default;
};

} // namespace velorin
