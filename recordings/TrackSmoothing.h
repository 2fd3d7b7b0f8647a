#pragma once

#include "recordings/TrackDisplayPoint.h"

#include <vector>

namespace velorin {

// The line the map draws for a track: small loops and out-and-back spikes removed, then
// `passes` rounds of corner cutting, each doubling the points; the ends never move. Fewer
// than three points come back unchanged. Pure; any thread.
std::vector<TrackDisplayPoint> smoothed(const std::vector<TrackDisplayPoint>& points, int passes);

} // namespace velorin
