#include "recordings/Track.h"

namespace velorin {

namespace {

double secondsBetween(platform::SystemTime from, platform::SystemTime to)
{
    return std::chrono::duration<double>(to - from).count();
}

} // namespace

std::vector<TrackPause> Track::pauses(double minimumDurationSeconds, double radiusMeters) const
{
    const std::size_t count = points.size();
    // latestAfter[i]: the latest time of any point after i. A stay anchored at i can only
    // last as long as that, which spares the scan of a long crowd of points that never
    // lasts long enough.
    std::vector<platform::SystemTime> latestAfter(count);
    for (std::size_t i = count; i-- > 1;)
        latestAfter[i - 1] = i + 1 < count ? std::max(points[i].timestamp, latestAfter[i]) : points[i].timestamp;

    std::vector<TrackPause> found;
    std::size_t i = 0;
    while (i + 1 < count) {
        const TrackPoint& anchor = points[i];
        if (secondsBetween(anchor.timestamp, latestAfter[i]) < minimumDurationSeconds) {
            ++i;
            continue;
        }
        // Most of the scan's time goes here, a long walk's every point tested against the
        // points just behind it.
        const platform::GroundCircle stay(anchor.latitude, anchor.longitude, radiusMeters);
        std::size_t last = i;
        while (last + 1 < count && stay.contains(points[last + 1].latitude, points[last + 1].longitude))
            ++last;
        if (last > i && secondsBetween(anchor.timestamp, points[last].timestamp) >= minimumDurationSeconds) {
            double latitude = 0;
            double longitude = 0;
            for (std::size_t k = i; k <= last; ++k) {
                latitude += points[k].latitude;
                longitude += points[k].longitude;
            }
            const auto stayed = static_cast<double>(last - i + 1);
            found.push_back({static_cast<int>(found.size()), latitude / stayed, longitude / stayed, anchor.timestamp,
                points[last].timestamp});
            i = last + 1;
        } else {
            ++i;
        }
    }
    return found;
}

} // namespace velorin
