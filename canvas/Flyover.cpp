#include "canvas/Flyover.h"

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr double kDroneSwingRadians = 0.9599310885968813;

} // namespace

const Flyover::Style& Flyover::style(FlyoverMode mode)
{
    static const Style follow {100, 0.35, 0, {0}};
    static const Style drone {500, 0.6, kDroneSwingRadians, {0, -kDroneSwingRadians, kDroneSwingRadians}};
    return mode == FlyoverMode::drone ? drone : follow;
}

WorldPoint Flyover::point(double distance) const
{
    if (path.empty())
        return {};
    if (path.size() == 1 || distances.size() != path.size())
        return path.front();
    const double t = std::min(distances.back(), std::max(0.0, distance));
    std::size_t lo = 0;
    std::size_t hi = distances.size() - 1;
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        if (t < distances[mid])
            hi = mid;
        else
            lo = mid;
    }
    const double segment = distances[hi] - distances[lo];
    const double f = segment > 0 ? (t - distances[lo]) / segment : 0;
    return {path[lo].x + (path[hi].x - path[lo].x) * f, path[lo].y + (path[hi].y - path[lo].y) * f};
}

std::optional<double> Flyover::heading(double distance) const
{
    const WorldPoint a = point(distance - kHeadingSpanMeters);
    const WorldPoint b = point(distance + kHeadingSpanMeters);
    if (!(std::hypot(b.x - a.x, b.y - a.y) > 0))
        return std::nullopt;
    return std::atan2(b.x - a.x, -(b.y - a.y));
}

std::size_t Flyover::stopAfter(double distance) const
{
    const auto after = std::find_if(
        photoStops.begin(), photoStops.end(), [distance](const PhotoStop& stop) { return stop.distance > distance; });
    return std::size_t(after - photoStops.begin());
}

} // namespace velorin
