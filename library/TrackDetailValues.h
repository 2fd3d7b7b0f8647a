#pragma once

#include "recordings/Track.h"
#include "recordings/TrackEdit.h"
#include "recordings/TrackPause.h"
#include "recordings/TrackProfileSample.h"
#include "recordings/TrackStatistics.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// What a track's detail shows, computed once from the track: its figures, its stops, its
// main travel mode, its altitude profile and what each edit would remove, with the texts
// written from them. A plain value; any thread.
struct TrackDetailValues {
    // The stops the detail counts and the trim cuts: this long, within this radius.
    static constexpr double kPauseSeconds = Track::kPauseMinimumDurationSeconds;
    static constexpr double kPauseRadiusMeters = Track::kPauseRadiusMeters;

    struct AltitudeDomain {
        double lower = 0;
        double upper = 0;
        bool operator==(const AltitudeDomain&) const = default;
    };
    struct EditConfirmation {
        std::string title;
        std::string action;
        std::string message;
    };

    explicit TrackDetailValues(const Track& track);

    TrackStatistics statistics;
    // Seconds outside the pauses.
    double movingDuration = 0;
    std::vector<TrackProfileSample> profile;
    std::vector<TrackPause> pauses;
    std::optional<TravelMode> mainMode;
    // The points each edit would remove.
    std::size_t trimCount = 0;
    std::size_t footCount = 0;

    // Metres per second over the moving time; none without one.
    std::optional<double> averageSpeed() const;
    // The profile's altitude span with a margin of 15 %, at least 10 m, each side; none
    // with fewer than two altitudes, which the detail says it has not recorded.
    std::optional<AltitudeDomain> altitudeDomain() const;
    // "de 1203 à 2191 m", with both extremes known.
    std::optional<std::string> altitudeRangeText() const;
    // "2 pause(s) · 17 min à l'arrêt", with a pause.
    std::optional<std::string> pausesText() const;
    // "Principalement à pied", with a main mode.
    std::optional<std::string> mainModeText() const;
    // Below the edits, when the trim would remove points.
    std::optional<std::string> trimFootnote() const;
    EditConfirmation confirmation(TrackEdit edit) const;
};

} // namespace velorin
