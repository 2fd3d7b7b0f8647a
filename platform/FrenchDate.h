#pragma once

#include "platform/Iso8601.h"

#include <string>

namespace platform {

// Which parts of a date the French text shows: the day and the month always (abbreviated
// unless asked whole), then the year and the time of day when asked.
struct FrenchDateParts {
    bool year = true;
    bool time = false;
    bool fullMonth = false;
};

// A date as the French interface writes it, in the local time zone whatever the process
// locale: "1 mai 2024", "1 mai à 10:05" (24-hour time), "12 déc. 2024 à 08:30", or with the
// whole month "12 décembre 2024 à 08:30". Any thread.
std::string frenchDate(SystemTime time, FrenchDateParts parts = {});
// The time of day alone, "08:30", in the local time zone.
std::string frenchTime(SystemTime time);

} // namespace platform
