#pragma once

#include "renderer/BuildingService.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace velorin {

// The triangle meshes of the building footprints of a zoom-15 tile: walls from below the
// ground up to the eaves, and flat or two-sided pitched roofs whose ridge runs along each
// footprint's long axis, coloured by their materials. Pure functions; any thread.
class BuildingMesh {
public:
    using Vertex = BuildingService::Vertex;
    // Red, green, blue in 0…1.
    using Color = std::array<float, 3>;

    // Metres east and south of the tile's north-west corner.
    struct Point {
        double x = 0;
        double y = 0;

        bool operator==(const Point&) const = default;
    };
    using Ring = std::vector<Point>;
    using Triangle = std::array<Point, 3>;

    // The line normal·p = offset down the middle of a footprint's smallest edge-aligned
    // bounding rectangle, along its long side, and half that rectangle's short side.
    struct Ridge {
        Point normal{0, 1};
        double offset = 0;
        double halfWidth = 0;
    };

    static constexpr double kDefaultHeightMeters = 6;
    static constexpr double kMinHeightMeters = 2.5;
    // A height above this is a data error and counts as none.
    static constexpr double kMaxHeightMeters = 1000;
    // Roofs take at most this share of the building's height.
    static constexpr double kMaxRoofShare = 0.6;
    // A roof is pitched only when both its height and the footprint's half-width exceed this.
    static constexpr double kMinPitchMeters = 0.5;
    // A pitched roof rises at most this many times the footprint's half-width.
    static constexpr double kMaxRisePerHalfWidth = 1.5;
    // Walls start this far below the ground, so that slopes never show under them.
    static constexpr double kWallFootMeters = -4;
    static constexpr double kMinEdgeMeters = 0.01;
    // Façades are drawn on buildings at least this high, on walls at least this long.
    static constexpr double kMinFacadeHeightMeters = 3;
    static constexpr double kMinFacadeWallMeters = 2.2;

    static constexpr Color kDefaultWallColor{0.80f, 0.74f, 0.64f};
    // A roof whose colour the renderer chooses.
    static constexpr Color kNoRoofColor{-1, -1, -1};

    // The mesh of every footprint of a GeoJSON MultiPolygon collection, three vertices a
    // triangle; nothing when the document is not such a collection.
    static std::optional<std::vector<Vertex>> buildTile(std::span<const std::byte> data, int z, std::int64_t x,
        std::int64_t y);

    // The colour of a wall material code; the default without one.
    static Color wallColor(std::optional<std::string_view> material);
    // The colour of a roof material code, else of the kind of building; kNoRoofColor when
    // neither tells.
    static Color roofColor(std::optional<std::string_view> material, std::optional<std::string_view> nature);
    static Ridge ridgeLine(const Ring& ring);
    // The triangles of a ring of non-negative area, by ear clipping (`EarClipper`); what no
    // ear can be found for is fanned from its first point.
    static std::vector<Triangle> triangulate(const Ring& ring);
    // The walls and roof of one footprint (a ring of non-negative area) of `height` metres
    // with a roof `roofHeight` high; `facade` draws storeys on its long enough walls.
    static std::vector<Vertex> footprintMesh(double height, double roofHeight, Color wall, Color roof,
        const Ring& ring, bool facade);
};

} // namespace velorin
