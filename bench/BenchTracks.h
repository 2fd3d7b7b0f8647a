#pragma once

#include "recordings/Track.h"

#include <chrono>
#include <cmath>
#include <numbers>
#include <random>

// Synthetic walks for the recording benchmarks: a hiker wandering from 45° N, 6° E at
// about 1.2 m/s, one fix a second, with GPS noise. The same walk every run.
namespace bench_tracks {

inline velorin::Track walk(std::size_t count)
{
    std::mt19937 random(42);
    std::normal_distribution<double> turn(0, 0.15), noise(0, 2.0), climb(0, 0.4);
    constexpr double kMetersPerDegree = velorin::kEarthDiameterMeters / 2 * std::numbers::pi / 180;
    const double metersPerDegreeEast = kMetersPerDegree * std::cos(45 * std::numbers::pi / 180);
    velorin::Track track;
    track.metadata = {"E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "Tour du Mont Blanc", {}, std::nullopt};
    track.metadata.startedAt = platform::SystemTime(std::chrono::sys_days(std::chrono::year(2024) / 7 / 1));
    double north = 0, east = 0, heading = 0, altitude = 1200;
    for (std::size_t i = 0; i < count; ++i) {
        heading += turn(random);
        north += 1.2 * std::cos(heading);
        east += 1.2 * std::sin(heading);
        altitude += climb(random);
        track.points.push_back({45 + (north + noise(random)) / kMetersPerDegree, 6 + (east + noise(random)) / metersPerDegreeEast,
            altitude, track.metadata.startedAt + std::chrono::seconds(i), 4.0, velorin::TravelMode::walking});
    }
    return track;
}

} // namespace bench_tracks
