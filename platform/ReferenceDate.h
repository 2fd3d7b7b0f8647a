#pragma once

#include "platform/Iso8601.h"

#include <optional>

namespace platform {

// Dates stored as seconds since 2001-01-01 00:00:00 UTC (capture and zone records). Any thread.
inline constexpr double kReferenceDateUnixSeconds = 978307200;

double secondsSinceReferenceDate(SystemTime time);
// Nothing for a number that is not finite or lies beyond the years the clock can hold.
std::optional<SystemTime> dateFromReferenceSeconds(double seconds);

} // namespace platform
