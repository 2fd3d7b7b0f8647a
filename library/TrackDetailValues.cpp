#include "library/TrackDetailValues.h"

#include "library/TravelModeText.h"
#include "library/ValueFormatters.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace velorin {

namespace {

constexpr double kDomainMarginShare = 0.15;
constexpr double kMinimumDomainMarginMeters = 10;

std::string wholeMetres(double meters)
{
    return std::to_string(std::llround(meters));
}

} // namespace

TrackDetailValues::TrackDetailValues(const Track& track)
    : statistics(track)
    , profile(track.profile())
    , pauses(track.pauses(kPauseSeconds, kPauseRadiusMeters))
    , mainMode(track.dominantMode())
    , trimCount(track.points.size() - track.trimmedRange(kPauseSeconds, kPauseRadiusMeters).size())
    , footCount(track.points.size() - track.onFootRange().size())
{
    // From the pauses just found: the scan for them is most of the work.
    movingDuration = Track::movingDuration(statistics.duration, pauses);
}

std::optional<double> TrackDetailValues::averageSpeed() const
{
    if (!(movingDuration > 0))
        return std::nullopt;
    return statistics.distance / movingDuration;
}

std::optional<TrackDetailValues::AltitudeDomain> TrackDetailValues::altitudeDomain() const
{
    std::optional<AltitudeDomain> span;
    int count = 0;
    for (const TrackProfileSample& sample : profile) {
        // A damaged altitude never stretches the chart to infinity.
        if (!std::isfinite(sample.altitude))
            continue;
        ++count;
        if (!span)
            span = AltitudeDomain { sample.altitude, sample.altitude };
        span->lower = std::min(span->lower, sample.altitude);
        span->upper = std::max(span->upper, sample.altitude);
    }
    if (count < 2)
        return std::nullopt;
    const double margin = std::max(kDomainMarginShare * (span->upper - span->lower), kMinimumDomainMarginMeters);
    return AltitudeDomain { span->lower - margin, span->upper + margin };
}

std::optional<std::string> TrackDetailValues::altitudeRangeText() const
{
    if (!statistics.minimumAltitude || !statistics.maximumAltitude)
        return std::nullopt;
    return "de " + wholeMetres(*statistics.minimumAltitude) + " à " + wholeMetres(*statistics.maximumAltitude) + " m";
}

std::optional<std::string> TrackDetailValues::pausesText() const
{
    if (pauses.empty())
        return std::nullopt;
    double seconds = 0;
    for (const TrackPause& pause : pauses)
        seconds += std::chrono::duration<double>(pause.end - pause.start).count();
    return std::to_string(pauses.size()) + " pause(s) · " + formatDuration(seconds) + " à l'arrêt";
}

std::optional<std::string> TrackDetailValues::mainModeText() const
{
    if (!mainMode)
        return std::nullopt;
    return std::string("Principalement ") + travelModeText(*mainMode);
}

std::optional<std::string> TrackDetailValues::trimFootnote() const
{
    if (trimCount == 0)
        return std::nullopt;
    return "Retire " + std::to_string(trimCount) + " point(s) relevés à l'arrêt avant le départ et après l'arrivée.";
}

TrackDetailValues::EditConfirmation TrackDetailValues::confirmation(TrackEdit edit) const
{
    switch (edit) {
    case TrackEdit::trimEnds:
        return { "Élaguer les extrémités ?", "Élaguer",
            std::to_string(trimCount)
                + " point(s) relevés sans bouger seront retirés du début et de la fin. Les statistiques et le profil "
                  "seront recalculés." };
    case TrackEdit::keepOnFoot:
        return { "Ne garder que la marche ?", "Retirer la voiture",
            std::to_string(footCount)
                + " point(s) motorisés seront retirés ; seul le plus long passage parcouru à pied est conservé. Les "
                  "statistiques et le profil seront recalculés. Cette action est définitive." };
    }
    return {};
}

} // namespace velorin
