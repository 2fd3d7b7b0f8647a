#include "library/ProfileSeries.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace velorin {

namespace {

constexpr double kMetersPerKilometer = 1000;

} // namespace

std::vector<ProfilePoint> profileSeries(const std::vector<TrackProfileSample>& profile, int columns)
{
    std::vector<ProfilePoint> points;
    points.reserve(profile.size());
    for (const TrackProfileSample& sample : profile)
        if (std::isfinite(sample.distance) && std::isfinite(sample.altitude))
            points.push_back({ sample.distance / kMetersPerKilometer, sample.altitude });
    const std::size_t columnCount = std::size_t(std::max(columns, 1));
    if (points.size() <= 2 * columnCount)
        return points;

    const double first = points.front().kilometers;
    const double columnWidth = (points.back().kilometers - first) / double(columnCount);
    std::vector<ProfilePoint> thinned;
    thinned.reserve(2 * columnCount);
    std::size_t lowest = 0;
    std::size_t highest = 0;
    std::size_t column = 0;
    auto flush = [&] {
        thinned.push_back(points[std::min(lowest, highest)]);
        if (lowest != highest)
            thinned.push_back(points[std::max(lowest, highest)]);
    };
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double offset = columnWidth > 0 ? (points[i].kilometers - first) / columnWidth : 0;
        const std::size_t at = std::min(columnCount - 1, std::size_t(std::max(offset, 0.0)));
        if (i == 0 || at != column) {
            if (i > 0)
                flush();
            column = at;
            lowest = highest = i;
            continue;
        }
        if (points[i].meters < points[lowest].meters)
            lowest = i;
        if (points[i].meters > points[highest].meters)
            highest = i;
    }
    flush();
    return thinned;
}

} // namespace velorin
