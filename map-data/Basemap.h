#pragma once

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace velorin {

// The map backgrounds the user can show, with what each needs to know about its tiles:
// the level range its source serves, how levels follow the camera zoom, the zoom ceiling,
// titles and credits. Its raw value (the case name) is what preferences and captures
// store; its index (0…9) is a web tile's source in a `TileKey`. A plain value; any thread.
class Basemap {
public:
    enum Case : uint8_t {
        top25,
        planIGN,
        orthophoto,
        openTopo,
        slopes,
        applePlan,
        appleSatellite,
        swissImage,
        spainImage,
        austriaImage,
    };

    static constexpr std::size_t kCaseCount = 10;
    static const std::array<Basemap, kCaseCount> allCases;
    // Every case but the sheet layer and the slope overlay, in case order: the choices of
    // the settings screen.
    static const std::array<Basemap, 8> selectable;

    constexpr Basemap(Case value)
        : case_(value)
    {
    }
    constexpr operator Case() const { return case_; }

    // The case whose raw value is exactly `rawValue` (case-sensitive), or nothing: a named
    // function, since a constructor cannot fail without throwing.
    static std::optional<Basemap> fromRawValue(std::string_view rawValue);
    // The case of a web tile's source index, or nothing outside 0…9.
    static std::optional<Basemap> fromIndex(int64_t index);

    std::string_view rawValue() const;
    int index() const { return case_; }

    std::string_view title() const;
    std::string_view symbolName() const;
    // The credit shown under the map; nothing where the map view shows its own.
    std::optional<std::string_view> attribution() const;
    // Aerial photographs, fetched as JPEG and requested one level finer.
    bool isPhoto() const;
    // The two maps of the platform's own map service: no web tiles here.
    bool isApple() const;
    int minLevel() const;
    int maxLevel() const;

    // The tile level to request at a camera zoom on a screen with `scale` pixels per point.
    int tileLevel(double zoom, double scale) const;
    // The highest camera zoom worth showing on a screen with `scale` pixels per point.
    double maxCameraZoom(double scale) const;

private:
    double scaleOffset(double scale) const;

    Case case_;
};

} // namespace velorin

// Coded as its raw value; an unknown raw value is a JSON type error.
template <>
struct nlohmann::adl_serializer<velorin::Basemap> {
    static velorin::Basemap from_json(const nlohmann::json& json);
    static void to_json(nlohmann::json& json, velorin::Basemap basemap);
};

// A bare case codes as its basemap, never as its number.
template <>
struct nlohmann::adl_serializer<velorin::Basemap::Case> {
    static velorin::Basemap::Case from_json(const nlohmann::json& json);
    static void to_json(nlohmann::json& json, velorin::Basemap::Case basemap);
};

template <>
struct std::hash<velorin::Basemap> {
    std::size_t operator()(velorin::Basemap basemap) const noexcept { return std::hash<int>()(basemap.index()); }
};
