#include "recordings/Track.h"

#include "recordings/TrackStatistics.h"

#include <array>
#include <cmath>

namespace velorin {

std::vector<TrackDisplayPoint> Track::displayPoints() const
{
    std::vector<TrackDisplayPoint> display;
    display.reserve(points.size());
    std::optional<TravelMode> previous;
    for (const TrackPoint& point : points) {
        std::optional<TravelMode> mode = point.mode;
        if (!mode || *mode == TravelMode::stationary)
            mode = previous;
        display.push_back({WorldPoint::fromLatitudeLongitude(point.latitude, point.longitude), mode});
        previous = mode;
    }
    return display;
}

std::vector<TrackProfileSample> Track::profile() const
{
    std::vector<TrackProfileSample> samples;
    double distance = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0)
            distance += points[i - 1].distance(points[i]);
        if (points[i].altitude)
            samples.push_back({static_cast<int>(samples.size()), distance, *points[i].altitude});
    }
    return samples;
}

double Track::movingDuration() const
{
    return movingDuration(TrackStatistics(*this).duration, pauses(kPauseMinimumDurationSeconds, kPauseRadiusMeters));
}

double Track::movingDuration(double durationSeconds, const std::vector<TrackPause>& pauses)
{
    double paused = 0;
    for (const TrackPause& pause : pauses)
        paused += std::chrono::duration<double>(pause.end - pause.start).count();
    // An unknown duration stays unknown.
    if (std::isnan(durationSeconds))
        return durationSeconds;
    return std::max(0.0, durationSeconds - paused);
}

std::optional<TravelMode> Track::dominantMode() const
{
    // In order of precedence on a tie: the walker's own modes first.
    constexpr std::array kCounted{TravelMode::walking, TravelMode::running, TravelMode::cycling, TravelMode::automotive};
    std::array<std::size_t, kCounted.size()> counts{};
    for (const TrackPoint& point : points) {
        for (std::size_t i = 0; i < kCounted.size(); ++i)
            counts[i] += point.mode == kCounted[i];
    }
    std::optional<TravelMode> dominant;
    std::size_t most = 0;
    for (std::size_t i = 0; i < kCounted.size(); ++i) {
        if (counts[i] > most) {
            most = counts[i];
            dominant = kCounted[i];
        }
    }
    return dominant;
}

} // namespace velorin
