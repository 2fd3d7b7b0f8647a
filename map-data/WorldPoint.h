#pragma once

#include "map-data/Hasher.h"

#include <functional>

namespace velorin {

// Latitudes beyond this do not exist on the Web Mercator square; positions are clamped to it.
inline constexpr double kMaxMercatorLatitudeDegrees = 85.05112878;
// Length of the equator in metres, the ground width of the whole world square.
inline constexpr double kEarthCircumferenceMeters = 40075016.6855785;
// Pixels across the world at zoom 0: one 256-pixel tile.
inline constexpr double kWorldPixelsAtZoomZero = 256.0;

// A position on the map: spherical Web Mercator scaled to the unit square, x growing
// eastwards from 180° W, y growing southwards from 85.05° N. Nothing wraps across the
// antimeridian. A plain value; any thread.
struct WorldPoint {
    double x = 0;
    double y = 0;

    // The latitude is clamped to the Mercator square; the longitude is kept as given.
    static WorldPoint fromLatitudeLongitude(double latitudeDegrees, double longitudeDegrees);

    double latitude() const;
    double longitude() const;

    // Ground metres across one world unit along this point's parallel.
    double metersPerWorldUnit() const;
    // Ground metres per map pixel at this point, at a camera zoom where the world is
    // 256·2^zoom pixels wide.
    double metersPerPixel(double zoom) const;

    // IEEE comparison: NaN is never equal, +0 equals -0.
    bool operator==(const WorldPoint&) const = default;
};

} // namespace velorin

template <>
struct std::hash<velorin::WorldPoint> {
    std::size_t operator()(const velorin::WorldPoint& point) const noexcept
    {
        velorin::Hasher hasher;
        hasher.combine(point.x);
        hasher.combine(point.y);
        return hasher.finalize();
    }
};
