#pragma once

#include "canvas/Flight.h"

#include <optional>
#include <string>
#include <vector>

namespace velorin {

// The launch options that shape flights: the tours' orbit radius ("-orbitRadius", metres),
// their closing viewpoint ("-orbitOutro": latitude, longitude, height, latitude, longitude
// and optionally look) and how long a recorded flight may run ("-filmSeconds"). Numbers are
// read in the C locale and must be finite. A plain value; any thread.
struct FlightOptions {
    static constexpr double kDefaultOrbitRadiusMeters = 500;
    static constexpr double kDefaultOutroLook = 0.55;

    double orbitRadius = kDefaultOrbitRadiusMeters;
    std::optional<Flight::Outro> outro;
    std::optional<double> filmSeconds;

    // A radius that is not a number above 0 gives the default; an outro with fewer than
    // five numbers, or with a point off the globe, none; film seconds not above 0, none.
    static FlightOptions parse(const std::vector<std::string>& arguments);
};

} // namespace velorin
