#pragma once

#include "platform/MapView.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// How a 2D map camera lays the Web-Mercator ground on a view: an eye 1.5 view heights
// from the centre, tilted and turned, so that the ground metres per point at the centre
// are distance / (1.5 × height). Gives the points of coordinates, the ground under points
// and the raster tiles that cover the view, coarser towards the horizon. A plain value;
// any thread.
class MapViewProjection {
public:
    static constexpr double kFocalViewHeights = 1.5;
    static constexpr double kMaxPitchDegrees = 60;
    static constexpr std::size_t kMaxTiles = 160;
    static constexpr double kTilePixels = 256;
    // Screen bands of this many device pixels each take one tile level.
    static constexpr double kBandPixels = 48;

    struct Tile {
        int z = 0;
        int64_t x = 0;
        int64_t y = 0;
        bool operator==(const Tile&) const = default;
    };

    // `width` and `height` in points; `pixelRatio` device pixels per point.
    MapViewProjection(const MapCamera& camera, double width, double height, double pixelRatio = 1);

    std::optional<MapViewPoint> point(MapCoordinate coordinate) const;
    // The point of a Web-Mercator position (unit square, y southwards).
    std::optional<MapViewPoint> worldPoint(double x, double y) const;
    std::optional<MapCoordinate> coordinate(MapViewPoint point) const;

    // The tiles of levels up to `maxLevel` that cover the view, coarsest first, each level
    // the one whose pixels match the device pixels at its band; never more than kMaxTiles.
    std::vector<Tile> tiles(int maxLevel) const;
    double metresPerPoint() const;

    static double worldX(double longitude);
    static double worldY(double latitude);
    static MapCoordinate coordinateOf(double x, double y);

private:
    std::optional<std::array<double, 2>> ground(double x, double y) const;
    std::vector<Tile> tilesAtBias(int maxLevel, int bias) const;

    MapCamera camera_;
    double width_;
    double height_;
    double pixelRatio_;
    double focal_;
    double centreX_;
    double centreY_;
    // Points per world unit at the centre.
    double scale_;
    double sinPitch_, cosPitch_, sinHeading_, cosHeading_;
};

} // namespace platform
