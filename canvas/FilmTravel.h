#pragma once

#include "canvas/FilmArguments.h"
#include "map-data/WorldPoint.h"

#include <optional>
#include <vector>

namespace velorin {

// The paths of a travel film over waypoints: the eye eased along the smoothed path through
// them (slow start, slow end), and the point it looks at, the next waypoint, turning to
// the one after over the 1800 m that start 1500 m before it passes one. The last waypoint
// is pulled back 15 % towards the one before, so the eye never reaches what it looks at.
// A plain value; any thread.
struct FilmTravel {
    std::vector<WorldPoint> waypoints;
    std::vector<WorldPoint> eyes;
    std::vector<WorldPoint> targets;
    double height = 0;

    // The travel's frames + 1 points of each path; nothing for fewer than two waypoints.
    static std::optional<FilmTravel> plan(const FilmArguments& arguments);
};

// The point at distance `s` along a polyline whose points have the cumulative `distances`,
// extrapolated along the first or last segment beyond its ends; the point itself for a
// single point, nothing for none. Any thread.
std::optional<WorldPoint> pointAlong(const std::vector<double>& distances, const std::vector<WorldPoint>& points, double s);

} // namespace velorin
