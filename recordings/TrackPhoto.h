#pragma once

#include "map-data/WorldPoint.h"
#include "platform/Iso8601.h"
#include "recordings/PhotoLibrary.h"
#include "recordings/Track.h"

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// A picture of the user's photo library placed on the map: taken during a track, or one
// of the library's located photos. A plain value; any thread. The lookups read the
// library's files: run them on a worker, with a flag that ends them early.
struct TrackPhoto {
    // The photo's path under the Pictures folder.
    std::string id;
    platform::SystemTime date;
    WorldPoint world;

    bool operator==(const TrackPhoto&) const = default;

    // Whether the library may be read: on the desktop nobody is asked, so it answers at
    // once whether the Pictures folder is readable.
    static bool requestAccess(const PhotoLibrary& library);
    // The photos taken between the track's first and last point, both included, oldest
    // first; screenshots left out, each placed by its GPS tags or on the track point
    // nearest in time; none for a track whose times are unknown.
    static std::vector<TrackPhoto> fetch(const Track& track, const PhotoLibrary& library,
        const std::atomic<bool>* cancelled = nullptr);
    // Every located photo of the library but screenshots, newest first. `requestAccess`
    // would let a system ask; here the folder is read whenever it is readable.
    static std::vector<TrackPhoto> libraryPhotos(bool requestAccess, const PhotoLibrary& library,
        const std::atomic<bool>* cancelled = nullptr);
    // The photo's own place when its accuracy is 0 or more; else the point of `points`
    // nearest in time, the first of equally near ones; nothing without points.
    static std::optional<WorldPoint> position(const std::optional<PhotoExif::Location>& location,
        platform::SystemTime date, const std::vector<TrackPoint>& points);
    // The file of a photo by its id; nothing for an empty or absolute id or one that
    // climbs with "..".
    static std::optional<std::filesystem::path> file(const std::filesystem::path& pictures, const std::string& id);
};

} // namespace velorin
