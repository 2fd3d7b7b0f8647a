#pragma once

#include "recordings/TrackProfileSample.h"

#include <vector>

namespace velorin {

// One point of the altitude chart: kilometres from the start, metres of altitude.
struct ProfilePoint {
    double kilometers = 0;
    double meters = 0;
    bool operator==(const ProfilePoint&) const = default;
};

// The altitude profile as the chart draws it: a sample whose distance or altitude is not a
// finite number is left out, and a profile of more than two samples per pixel column keeps
// only the lowest and the highest of each column, in walking order, so that a long walk
// draws as fast as a short one and still shows every summit and every valley. Pure; any thread.
std::vector<ProfilePoint> profileSeries(const std::vector<TrackProfileSample>& profile, int columns);

} // namespace velorin
