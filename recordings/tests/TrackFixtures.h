#pragma once

#include "recordings/Track.h"

#include <chrono>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

// Small tracks for the tests: points placed in metres around 45° N, 6° E, timed in
// seconds from 1 May 2024 10:00 UTC.
namespace track_fixtures {

using namespace std::chrono;

inline constexpr double kOriginLatitude = 45.0;
inline constexpr double kOriginLongitude = 6.0;
// Ground metres per degree of latitude on the haversine sphere.
inline constexpr double kMetersPerDegree = velorin::kEarthDiameterMeters / 2 * std::numbers::pi / 180;

inline platform::SystemTime at(double seconds)
{
    return platform::SystemTime(sys_days(2024y / May / 1) + 10h)
        + duration_cast<platform::SystemTime::duration>(duration<double>(seconds));
}

inline velorin::TrackPoint point(double northMeters, double eastMeters, double seconds,
    std::optional<double> altitude = std::nullopt, std::optional<velorin::TravelMode> mode = std::nullopt)
{
    const double latitude = kOriginLatitude + northMeters / kMetersPerDegree;
    const double longitude
        = kOriginLongitude + eastMeters / (kMetersPerDegree * std::cos(kOriginLatitude * std::numbers::pi / 180));
    return {latitude, longitude, altitude, at(seconds), 5.0, mode};
}

inline velorin::Track track(std::vector<velorin::TrackPoint> points, std::optional<double> endedAtSeconds = std::nullopt)
{
    velorin::Track made;
    made.metadata = {"E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "Col de la Croix", at(0), std::nullopt};
    if (endedAtSeconds)
        made.metadata.endedAt = at(*endedAtSeconds);
    made.points = std::move(points);
    return made;
}

} // namespace track_fixtures
