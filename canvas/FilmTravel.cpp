#include "canvas/FilmTravel.h"

#include "recordings/TrackDisplayPoint.h"
#include "recordings/TrackSmoothing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velorin {

namespace {

constexpr double kEndPull = 0.85;
constexpr int kSmoothingPasses = 4;
constexpr double kTurnMeters = 1800;
constexpr double kTurnLeadMeters = 1500;

double smoothstep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

WorldPoint towards(WorldPoint from, WorldPoint to, double share)
{
    return {from.x + (to.x - from.x) * share, from.y + (to.y - from.y) * share};
}

} // namespace

std::optional<WorldPoint> pointAlong(const std::vector<double>& distances, const std::vector<WorldPoint>& points, double s)
{
    const std::size_t n = std::min(distances.size(), points.size());
    if (n == 0)
        return std::nullopt;
    if (n == 1)
        return points.front();
    std::size_t i = 0;
    while (i < n && !(s <= distances[i]))
        ++i;
    i = std::clamp<std::size_t>(i, 1, n - 1);
    const double length = distances[i] - distances[i - 1];
    return towards(points[i - 1], points[i], length > 0 ? (s - distances[i - 1]) / length : 0);
}

std::optional<FilmTravel> FilmTravel::plan(const FilmArguments& arguments)
{
    if (arguments.travel.size() < 2)
        return std::nullopt;
    FilmTravel travel;
    travel.height = arguments.travelHeight;
    std::vector<WorldPoint>& waypoints = travel.waypoints;
    waypoints = arguments.travel;
    const std::size_t n = waypoints.size();
    waypoints[n - 1] = towards(waypoints[n - 2], waypoints[n - 1], kEndPull);

    std::vector<TrackDisplayPoint> display;
    for (const WorldPoint& point : waypoints)
        display.push_back({point, std::nullopt});
    std::vector<WorldPoint> path;
    for (const TrackDisplayPoint& point : smoothed(display, kSmoothingPasses))
        path.push_back(point.world);
    // One scale for the whole path: the first waypoint's.
    const double meters = waypoints.front().metersPerWorldUnit();
    std::vector<double> distances {0};
    for (std::size_t j = 1; j < path.size(); ++j)
        distances.push_back(distances.back() + std::hypot(path[j].x - path[j - 1].x, path[j].y - path[j - 1].y) * meters);
    const double length = distances.back();
    // How far along the path each waypoint is passed: at the path point nearest it.
    std::vector<double> passed;
    for (const WorldPoint& waypoint : waypoints) {
        std::size_t nearest = 0;
        double best = std::numeric_limits<double>::infinity();
        for (std::size_t j = 0; j < path.size(); ++j) {
            const double d = std::hypot(path[j].x - waypoint.x, path[j].y - waypoint.y);
            if (d < best) {
                best = d;
                nearest = j;
            }
        }
        passed.push_back(distances[nearest]);
    }

    const int frames = arguments.travelFrames;
    for (int i = 0; i <= frames; ++i) {
        const double s = smoothstep(double(i) / frames) * length;
        travel.eyes.push_back(pointAlong(distances, path, s).value_or(waypoints.front()));
        WorldPoint target = waypoints[1];
        for (std::size_t k = 1; k + 1 < n; ++k)
            target = towards(target, waypoints[k + 1], smoothstep((s - passed[k] + kTurnLeadMeters) / kTurnMeters));
        travel.targets.push_back(target);
    }
    return travel;
}

} // namespace velorin
