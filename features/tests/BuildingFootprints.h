#pragma once

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

namespace building_testing {

// The zoom-15 tile the building tests draw in, in the Alps.
constexpr int kZ = 15;
constexpr std::int64_t kX = 16860;
constexpr std::int64_t kY = 11744;

// Ground metres a world unit at the tile's middle row.
inline double tileScale(std::int64_t y = kY)
{
    const double n = std::exp2(kZ);
    return std::cos(std::atan(std::sinh(std::numbers::pi * (1 - 2 * (double(y) + 0.5) / n)))) * 40075016.6855785;
}

// The longitude and latitude of a point given in metres east and south of the tile's corner.
inline std::pair<double, double> lonLat(double east, double south)
{
    const double n = std::exp2(kZ);
    const double s = tileScale();
    const double longitude = (east / s + double(kX) / n) * 360 - 180;
    const double mercator = south / s + double(kY) / n;
    const double latitude = std::atan(std::sinh(std::numbers::pi * (1 - 2 * mercator))) * 180 / std::numbers::pi;
    return {longitude, latitude};
}

// A closed GeoJSON ring of corners in tile metres.
inline nlohmann::json ring(const std::vector<std::pair<double, double>>& corners)
{
    nlohmann::json positions = nlohmann::json::array();
    for (const auto& [east, south] : corners) {
        const auto [longitude, latitude] = lonLat(east, south);
        positions.push_back({longitude, latitude});
    }
    positions.push_back(positions.front());
    return positions;
}

// The corners of an east–west rectangle with its north-west corner at (east, south).
inline std::vector<std::pair<double, double>> rectangle(double east, double south, double width, double depth)
{
    return {{east, south}, {east + width, south}, {east + width, south + depth}, {east, south + depth}};
}

inline nlohmann::json feature(const nlohmann::json& outerRing, nlohmann::json properties = nlohmann::json::object())
{
    return {{"type", "Feature"}, {"properties", std::move(properties)},
        {"geometry", {{"type", "MultiPolygon"}, {"coordinates", {{outerRing}}}}}};
}

inline std::string collection(const std::vector<nlohmann::json>& features)
{
    return nlohmann::json{{"type", "FeatureCollection"}, {"features", features}}.dump();
}

inline std::vector<std::byte> bytes(const std::string& text)
{
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return {first, first + text.size()};
}

// A round block of `points` corners (half outside, half inside) about a round courtyard that a
// narrow passage opens to the street: the outer wall of radius 100 m, the courtyard's of 60 m,
// as (east, south) pairs wound with a positive area.
constexpr double kBlockRadiusMeters = 100;
constexpr double kCourtyardRadiusMeters = 60;

inline std::vector<std::pair<double, double>> courtyardBlock(std::size_t points)
{
    const std::size_t side = points / 2;
    // The passage is 2 m wide.
    const double outerGap = 2 / kBlockRadiusMeters;
    const double innerGap = 2 / kCourtyardRadiusMeters;
    std::vector<std::pair<double, double>> corners;
    for (std::size_t k = 0; k < side; ++k) {
        const double angle = outerGap / 2 + double(k) * (2 * std::numbers::pi - outerGap) / double(side - 1);
        corners.emplace_back(kBlockRadiusMeters * std::cos(angle), kBlockRadiusMeters * std::sin(angle));
    }
    for (std::size_t k = 0; k < side; ++k) {
        const double angle = 2 * std::numbers::pi - innerGap / 2 - double(k) * (2 * std::numbers::pi - innerGap) / double(side - 1);
        corners.emplace_back(kCourtyardRadiusMeters * std::cos(angle), kCourtyardRadiusMeters * std::sin(angle));
    }
    return corners;
}

} // namespace building_testing
