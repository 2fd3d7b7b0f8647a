#pragma once

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
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
    // The kind of a "nature" of the national topographic database ("Sommet", "Col",
    // "Crête"…), compared as Unicode text in composed form, case and blanks counting;
    // nothing for a nature that names no place the map labels.
    static std::optional<Kind> kindFromNature(std::string_view nature);

    std::string id;
    // As shown, trimmed of surrounding white space.
    std::string name;
    Kind kind = Kind::place;
    // Degrees, WGS 84.
    double latitude = 0;
    double longitude = 0;
    // 1 is the most important; 6 when unknown.
    int64_t importance = 6;
    // Metres above sea level, once looked up.
    std::optional<double> altitude;

    // The text of the map label: the name, followed for a summit, col or refuge with an
    // altitude by a blank, the altitude to the nearest metre and " m".
    std::string labelText() const;

    bool operator==(const Toponym&) const = default;
};

// The keys "id", "name", "kind", "latitude", "longitude", "importance" and "altitude", in
// that order; "altitude" only when known. Throws std::domain_error for a coordinate or
// altitude that is not finite.
void to_json(nlohmann::ordered_json& json, const Toponym& toponym);
// Throws nlohmann::json::exception when a key other than "altitude" is missing, a value
// has the wrong type or "kind" is not one of the six raw values.
void from_json(const nlohmann::json& json, Toponym& toponym);

} // namespace velorin
