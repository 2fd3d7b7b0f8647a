#pragma once

#include "map-data/WorldPoint.h"
#include "recordings/TravelMode.h"

#include <optional>
#include <vector>

namespace velorin {

// One point of a track as the map draws it: its place on the map and the travel mode
// recorded there, if any. A plain value; any thread.
struct TrackDisplayPoint {
    WorldPoint world;
    std::optional<TravelMode> mode;

    bool operator==(const TrackDisplayPoint&) const = default;
};

// The ground lengths of the segments between consecutive points, in metres, at a scale of
// `metersPerUnit` ground metres per world unit: n points give n − 1 lengths.
std::vector<double> stepLengths(const std::vector<TrackDisplayPoint>& points, double metersPerUnit);

} // namespace velorin
