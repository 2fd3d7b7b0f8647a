#pragma once

namespace velorin {

// Which fixes a recording keeps: those known well enough, and of those the ones far enough
// from the last kept point or long enough after it. A plain value; any thread.
struct TrackSamplingPolicy {
    // A fix at least this long after the last kept point is kept whatever its distance.
    double maximumIntervalSeconds = 300;
    // Otherwise a fix is kept only this far or farther from the last kept point.
    double minimumDistanceMeters = 15;
    // Fixes whose horizontal accuracy radius is larger are dropped.
    double maximumHorizontalAccuracyMeters = 50;

    bool operator==(const TrackSamplingPolicy&) const = default;
};

} // namespace velorin
