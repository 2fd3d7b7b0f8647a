#pragma once

#include "platform/Iso8601.h"

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>

namespace velorin {

// What describes a stored track: its identity, its name and when it ran. A plain value;
// any thread.
struct TrackMetadata {
    // Upper-case UUID text, "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"; names the track's folder.
    std::string id;
    std::string name;
    platform::SystemTime startedAt;
    // Absent while recording, and after an interrupted recording until the store repairs it.
    std::optional<platform::SystemTime> endedAt;
    // Set for a track imported from a file that gave none of its points a time: their
    // stored times are the import's, so the track's duration and speeds are unknown and its
    // export writes no time.
    bool timesUnknown = false;

    bool operator==(const TrackMetadata&) const = default;
};

// The stored form: keys in field order, dates in whole UTC seconds, no "endedAt" while
// absent and "timesUnknown" only when set, so that files written before it read alike.
void to_json(nlohmann::ordered_json& json, const TrackMetadata& metadata);
// Any key order, unknown keys ignored; the id is read in either case and kept upper-case.
// A missing key, a wrong type, an id that is not a UUID or an unreadable date throws
// nlohmann::json::exception.
void from_json(const nlohmann::json& json, TrackMetadata& metadata);

} // namespace velorin
