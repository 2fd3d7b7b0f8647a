#include "recordings/TrackSmoothing.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace velorin {

namespace {

// A loop is cut when the track comes back within kReturnMeters of a point after at least
// kLoopPathMeters of path; the look-ahead gives up past kFarthestMeters, or past
// kSpikeReachMeters after kSpikeSteps points (a real detour, not GPS noise), and after
// kLookAheadPoints points in any case.
constexpr double kReturnMeters = 12;
constexpr double kLoopPathMeters = 36;
constexpr double kFarthestMeters = 150;
constexpr double kSpikeReachMeters = 60;
constexpr std::size_t kSpikeSteps = 3;
constexpr std::size_t kLookAheadPoints = 400;
// A spike this many median steps long is cut even past kSpikeReachMeters.
constexpr double kSpikeMedianSteps = 3;

double metres(const TrackDisplayPoint& a, const TrackDisplayPoint& b, double metersPerUnit)
{
    return std::hypot(b.world.x - a.world.x, b.world.y - a.world.y) * metersPerUnit;
}

std::vector<TrackDisplayPoint> withoutLoops(const std::vector<TrackDisplayPoint>& points)
{
    const std::size_t count = points.size();
    if (count < 4)
        return points;
    const double metersPerUnit = points.front().world.metersPerWorldUnit();
    std::vector<double> steps = stepLengths(points, metersPerUnit);
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    const double spikeLimit = kSpikeMedianSteps * *middle;

    std::vector<TrackDisplayPoint> kept;
    kept.reserve(count);
    std::size_t anchor = 0;
    while (anchor < count) {
        kept.push_back(points[anchor]);
        std::optional<std::size_t> candidate;
        double path = 0;
        double farthest = 0;
        const std::size_t end = std::min(anchor + kLookAheadPoints, count);
        for (std::size_t j = anchor + 1; j < end; ++j) {
            const double distance = metres(points[anchor], points[j], metersPerUnit);
            farthest = std::max(farthest, distance);
            if (farthest > kFarthestMeters || (j - anchor >= kSpikeSteps && farthest > kSpikeReachMeters))
                break;
            path += metres(points[j - 1], points[j], metersPerUnit);
            if (j > anchor + 1 && distance < kReturnMeters && path > kLoopPathMeters
                && (farthest > spikeLimit || farthest <= kSpikeReachMeters))
                candidate = j;
        }
        anchor = candidate.value_or(anchor + 1);
    }
    return kept;
}

std::vector<TrackDisplayPoint> cutCorners(const std::vector<TrackDisplayPoint>& points)
{
    std::vector<TrackDisplayPoint> cut;
    cut.reserve(points.size() * 2);
    cut.push_back(points.front());
    for (std::size_t k = 0; k + 1 < points.size(); ++k) {
        const WorldPoint& a = points[k].world;
        const WorldPoint& b = points[k + 1].world;
        cut.push_back({{0.75 * a.x + 0.25 * b.x, 0.75 * a.y + 0.25 * b.y}, points[k].mode});
        cut.push_back({{0.25 * a.x + 0.75 * b.x, 0.25 * a.y + 0.75 * b.y}, points[k].mode});
    }
    cut.push_back(points.back());
    return cut;
}

} // namespace

std::vector<TrackDisplayPoint> smoothed(const std::vector<TrackDisplayPoint>& points, int passes)
{
    if (points.size() < 3)
        return points;
    std::vector<TrackDisplayPoint> line = withoutLoops(points);
    for (int pass = 0; pass < passes; ++pass)
        line = cutCorners(line);
    return line;
}

} // namespace velorin
