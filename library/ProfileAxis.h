#pragma once

#include <string>
#include <vector>

namespace velorin {

// Where the altitude chart's axes put their marks and what they write there: round values
// (1, 2 or 5 times a power of ten) and French texts whatever the process locale. Pure; any
// thread.
namespace ProfileAxis {

// The round values between `lower` and `upper` (a round end included) at the finest step,
// no finer than `finestStep`, that keeps them to `mostTicks` (at least 2); none for an empty
// or non-finite span.
std::vector<double> ticks(double lower, double upper, int mostTicks, double finestStep);
// "1500 m": whole metres, plain digits.
std::string altitudeLabel(double meters);
// "2 km", "2,5 km": at most one decimal.
std::string distanceLabel(double kilometers);

} // namespace ProfileAxis

} // namespace velorin
