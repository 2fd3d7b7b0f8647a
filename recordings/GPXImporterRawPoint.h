#pragma once

#include "platform/Iso8601.h"

#include <optional>

namespace velorin::GPXImporter {

// A point as a GPX file gives it, before it becomes a track point. A plain value.
struct RawPoint {
    double latitude = 0;
    double longitude = 0;
    std::optional<double> altitude;
    std::optional<platform::SystemTime> time;

    bool operator==(const RawPoint&) const = default;
};

} // namespace velorin::GPXImporter
