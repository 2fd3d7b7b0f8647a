#pragma once

#include "platform/Iso8601.h"
#include "recordings/TrackPoint.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reads a GPX file chosen by the user: its track points, or its route points when it has
// none; never its waypoints. A damaged file gives what was read before the damage. The
// parser loads nothing from outside the file and stops at any entity declaration, which
// no GPX file needs, so hostile documents give nothing, fast. Any thread.
namespace velorin::GPXImporter {

struct Result {
    std::optional<std::string> name;
    std::vector<TrackPoint> points; // never empty
};

// Files beyond this are not read at all.
inline constexpr std::size_t kMaximumFileBytes = std::size_t(256) << 20;
// Imported points carry this accuracy, in metres.
inline constexpr double kImportedAccuracyMeters = 5.0;

// Nothing when no point was found. A point without a time gets `baseDate` plus its
// index in seconds.
std::optional<Result> parse(std::span<const std::byte> bytes, platform::SystemTime baseDate);
// A date with a time zone ("Z" or an offset), with or without a fraction of a second.
std::optional<platform::SystemTime> parseDate(std::string_view text);

} // namespace velorin::GPXImporter
