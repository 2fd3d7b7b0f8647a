#pragma once

#include "map-data/WorldPoint.h"
#include "recordings/TravelMode.h"

#include <optional>

namespace velorin {

// One point of a track as the map draws it: its place on the map and the travel mode
// recorded there, if any. A plain value; any thread.
struct TrackDisplayPoint {
    WorldPoint world;
    std::optional<TravelMode> mode;

    bool operator==(const TrackDisplayPoint&) const = default;
};

} // namespace velorin
