#pragma once

#include <optional>
#include <string>

namespace velorin {

// The short texts of measured values on the screens: a distance, a duration, an altitude
// and a speed. Whole numbers are plain digits without grouping, rounded half away from zero;
// fractions are written the French way whatever the process locale ("2,50 km"). A value that
// is not a finite number reads "—". Pure functions; any thread.

// "850 m" below 1000 m (the unit chosen before rounding, so 999.6 m reads "1000 m"), then
// kilometres with two decimals: "12,35 km".
std::string formatDistance(double meters);
// "42 s" up to 59 s, whole minutes up to an hour ("17 min"), then hours and two-digit
// minutes ("2 h 05").
std::string formatDuration(double seconds);
// Whole metres, never kilometres: "1235 m".
std::string formatAltitude(double meters);
// Kilometres per hour with one decimal, "4,5 km/h"; "—" without a speed.
std::string formatSpeed(std::optional<double> metersPerSecond);

} // namespace velorin
