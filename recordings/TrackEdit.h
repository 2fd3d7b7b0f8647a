#pragma once

#include <cstdint>

namespace velorin {

// The two edits that remove points from a saved track: the waits at both ends, or
// everything but the longest stretch not travelled by car. A plain value; any thread.
enum class TrackEdit : std::uint8_t {
    trimEnds,
    keepOnFoot,
};

} // namespace velorin
