#pragma once

#include "platform/Iso8601.h"
#include "recordings/GPXImporterFileTrack.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reads a GPX file chosen by the user: each of its tracks, or each of its routes when it
// has no track point; never its waypoints. A damaged file gives what was read before the
// damage. The
// parser loads nothing from outside the file and stops at any entity declaration, which
// no GPX file needs, so hostile documents give nothing, fast. Any thread.
namespace velorin::GPXImporter {

struct Result {
    // The document's own name, from its root or its metadata.
    std::optional<std::string> name;
    // In document order; empty when the file holds no track or route point.
    std::vector<FileTrack> tracks;
    // The waypoints the file holds, which are never imported.
    std::size_t waypoints = 0;
};

// Files beyond this are not read at all.
inline constexpr std::size_t kMaximumFileBytes = std::size_t(256) << 20;
// Imported points carry this accuracy, in metres.
inline constexpr double kImportedAccuracyMeters = 5.0;

// A point without a time takes one between its track's timed neighbours, in proportion to
// the distance walked between them (the same place: to its rank), or the time of its only
// timed neighbour at either end; in a track without any time, every point takes
// `baseDate`.
Result parse(std::span<const std::byte> bytes, platform::SystemTime baseDate);
// A date with or without a fraction of a second; one without a time zone ("Z" or an
// offset) is in UTC.
std::optional<platform::SystemTime> parseDate(std::string_view text);

} // namespace velorin::GPXImporter
