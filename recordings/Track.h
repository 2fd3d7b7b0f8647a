#pragma once

#include "recordings/IndexRange.h"
#include "recordings/TrackDisplayPoint.h"
#include "recordings/TrackMetadata.h"
#include "recordings/TrackPause.h"
#include "recordings/TrackPoint.h"
#include "recordings/TrackProfileSample.h"
#include "recordings/TravelMode.h"

#include <optional>
#include <vector>

namespace velorin {

// A whole track: its description and its points in recording order, with the geometry
// the map and the screens draw from it. A plain value; any thread.
struct Track {
    TrackMetadata metadata;
    std::vector<TrackPoint> points;

    // A stay counts as a pause when the walker keeps within this radius of where it
    // began for at least this long; every screen and edit uses these.
    static constexpr double kPauseMinimumDurationSeconds = 300;
    static constexpr double kPauseRadiusMeters = 30;

    // One per point, in Web Mercator; a point without a mode, or stationary, takes the
    // mode drawn before it, so a stop inside a cycling stretch is drawn as cycling.
    std::vector<TrackDisplayPoint> displayPoints() const;
    // The stays of at least `minimumDurationSeconds` within `radiusMeters` of their first
    // point, in order.
    std::vector<TrackPause> pauses(double minimumDurationSeconds, double radiusMeters) const;
    // One sample per point with an altitude, at the distance walked up to that point.
    std::vector<TrackProfileSample> profile() const;
    // Seconds of the track's duration spent outside its pauses, never negative; not a number
    // when the track's times are unknown.
    double movingDuration() const;
    // The same from a duration and the pauses already found in it.
    static double movingDuration(double durationSeconds, const std::vector<TrackPause>& pauses);
    // The mode that most points carry among walking, running, cycling and automotive;
    // a tie goes to the first of these. Nothing when no point carries one.
    std::optional<TravelMode> dominantMode() const;

    // The points kept once the waits at both ends are cut; the last waiting point of the
    // start and the first of the end stay. The whole track when nothing is cut.
    IndexRange trimmedRange(double minimumDurationSeconds, double radiusMeters) const;
    // The longest stretch not travelled by car (the earlier of equal ones); the whole track
    // when there is none.
    IndexRange onFootRange() const;

    bool operator==(const Track&) const = default;
};

} // namespace velorin
