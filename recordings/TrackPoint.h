#pragma once

#include "platform/GroundDistance.h"
#include "platform/Iso8601.h"
#include "recordings/TravelMode.h"

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string_view>

namespace velorin {

// One GPS fix of a track, as recorded or imported. A plain value; any thread.
struct TrackPoint {
    double latitude = 0;  // degrees, WGS 84
    double longitude = 0; // degrees
    std::optional<double> altitude; // metres; absent when the fix had no valid altitude
    platform::SystemTime timestamp;
    double horizontalAccuracy = 0; // metres, as the location source reported it
    std::optional<TravelMode> mode; // how the walker moved then; absent when unknown

    // Ground distance in metres (haversine on a sphere of the Earth's mean radius).
    double distance(const TrackPoint& other) const;

    bool operator==(const TrackPoint&) const = default;
};

using platform::kEarthDiameterMeters;

// The stored form: one object whose keys are the field names in field order, absent
// fields left out, the time in whole UTC seconds ("2024-05-01T10:05:07Z"). A number that
// is not finite throws std::domain_error: JSON cannot hold it.
void to_json(nlohmann::ordered_json& json, const TrackPoint& point);
// Any key order, unknown keys ignored, null for an absent optional field. A missing
// required key, a value of the wrong type, an unreadable time, an unknown mode, a number
// that is not finite or a coordinate outside the globe throws nlohmann::json::exception.
void from_json(const nlohmann::json& json, TrackPoint& point);
// One line of a points file, read by the same rules without building a document; nothing
// for a line that is not a point (bad JSON or UTF-8 included).
std::optional<TrackPoint> decodeTrackPointLine(std::string_view line);

} // namespace velorin
