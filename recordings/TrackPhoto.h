#pragma once

#include "map-data/WorldPoint.h"
#include "platform/Iso8601.h"

#include <string>

namespace velorin {

// A picture of the user's photo library placed on the map: taken during a track, or one
// of the library's located photos. A plain value; any thread.
struct TrackPhoto {
    // How the photo library finds the picture again.
    std::string id;
    platform::SystemTime date;
    WorldPoint world;

    bool operator==(const TrackPhoto&) const = default;
};

} // namespace velorin
