#pragma once

#include "recordings/TrackPoint.h"

#include <optional>
#include <string>
#include <vector>

namespace velorin::GPXImporter {

// One track or one route of a GPX file, ready to be stored: its own name, its points (never
// empty), each with a time, and whether the file gave none of them one. A plain value.
struct FileTrack {
    std::optional<std::string> name;
    std::vector<TrackPoint> points;
    // No point had a time: every point carries the import's date instead.
    bool timesUnknown = false;

    bool operator==(const FileTrack&) const = default;
};

} // namespace velorin::GPXImporter
