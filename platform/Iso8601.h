#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

using SystemTime = std::chrono::system_clock::time_point;

// ISO-8601 dates in UTC for stored files: "2024-05-01T10:00:00Z", or with milliseconds
// "2024-05-01T10:00:00.250Z". Any thread.
std::string formatIso8601(SystemTime time, bool fractionalSeconds = false);
// Reads a date with or without fractional seconds, ending in "Z" or an offset
// ("+02:00", "+0200"); nothing for anything else, out-of-range fields and dates the
// system clock cannot hold (before 1677 or after 2262) included.
std::optional<SystemTime> parseIso8601(std::string_view text);

} // namespace platform
