#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// A named place drawn as a label on the map: a summit, a col, a ridge, a refuge, a
// viewpoint or a locality. A plain value; any thread.
struct Toponym {
    // In this order, which the label tables rank by.
    enum class Kind { summit, col, ridge, refuge, viewpoint, place };
    static constexpr std::array kinds{Kind::summit, Kind::col, Kind::ridge, Kind::refuge, Kind::viewpoint, Kind::place};

    // "summit", "col", "ridge", "refuge", "viewpoint", "place": the kind as files and
    // databases store it.
    static std::string_view rawValue(Kind kind);
    // The kind whose raw value is exactly `text`; nothing for any other text.
    static std::optional<Kind> kindFromRawValue(std::string_view text);

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
