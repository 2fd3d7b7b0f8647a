#pragma once

#include <optional>
#include <string>

namespace velorin {

// A named place drawn as a label on the map: a summit, a col, a ridge, a refuge, a
// viewpoint or a locality. A plain value; any thread.
struct Toponym {
    // In this order, which the label tables rank by.
    enum class Kind { summit, col, ridge, refuge, viewpoint, place };

    std::string id;
    // As shown, trimmed of surrounding white space.
    std::string name;
    Kind kind = Kind::place;
    // Degrees, WGS 84.
    double latitude = 0;
    double longitude = 0;
    // 1 is the most important; 6 when unknown.
    int importance = 6;
    // Metres above sea level, once looked up.
    std::optional<double> altitude;

    bool operator==(const Toponym&) const = default;
};

} // namespace velorin
