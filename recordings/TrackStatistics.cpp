#include "recordings/TrackStatistics.h"

#include "recordings/Track.h"

#include <algorithm>
#include <limits>

namespace velorin {

TrackStatistics::TrackStatistics(const Track& track)
{
    const auto& points = track.points;
    if (points.empty())
        return;

    std::optional<double> reference;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0)
            distance += points[i - 1].distance(points[i]);
        if (!points[i].altitude)
            continue;
        const double altitude = *points[i].altitude;
        minimumAltitude = std::min(minimumAltitude.value_or(altitude), altitude);
        maximumAltitude = std::max(maximumAltitude.value_or(altitude), altitude);
        if (!reference) {
            reference = altitude;
            continue;
        }
        const double change = altitude - *reference;
        if (change >= kClimbThresholdMeters) {
            ascent += change;
            reference = altitude;
        } else if (change <= -kClimbThresholdMeters) {
            descent -= change;
            reference = altitude;
        }
    }

    if (track.metadata.timesUnknown) {
        duration = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    const auto end = track.metadata.endedAt.value_or(points.back().timestamp);
    duration = std::max(0.0, std::chrono::duration<double>(end - track.metadata.startedAt).count());
}

} // namespace velorin
