#pragma once

#include "map-data/WorldPoint.h"
#include "recordings/TrackPoint.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velorin {

// How a track's still picture is framed: its points in Web Mercator, the box around them
// with a margin and widened to the picture's 16:10 shape, the tile level that fills the
// picture and the tiles that cover the box. Plain computation; any thread.
struct TrackPreviewFrame {
    static constexpr int kPictureWidth = 640;
    static constexpr int kPictureHeight = 400;
    static constexpr double kAspect = double(kPictureWidth) / kPictureHeight;
    // The box is this much larger than the track's extent, a margin of 12 % on each side.
    static constexpr double kMarginFactor = 1.24;
    // A track narrower than this (one point, or a straight north-south walk) keeps a box.
    static constexpr double kMinimumExtent = 0.000001;
    static constexpr int kMinZoom = 5;
    static constexpr int kMaxZoom = 17;
    static constexpr double kTilePixels = 256;
    // A box that needs more tiles is not drawn: the track spreads over a continent.
    static constexpr int64_t kMaxTiles = 30;

    // A tile of the box: `column` places it in the picture; `x` is that column taken
    // round the world (modulo 2^zoom), the one to ask the server for.
    struct Tile {
        int64_t column = 0;
        int64_t x = 0;
        int64_t y = 0;
        bool operator==(const Tile&) const = default;
    };

    // The projected points, in track order.
    std::vector<WorldPoint> points;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    // The framed box: its top-left corner and size, spanX / spanY = 1.6.
    double originX = 0, originY = 0, spanX = 0, spanY = 0;
    int zoom = kMinZoom;
    int64_t n = 0; // tiles across the world at `zoom`
    double scale = 0; // picture pixels per world unit, both ways
    int64_t x0 = 0, x1 = 0, y0 = 0, y1 = 0; // the tile range, ends included

    // Nothing for a track without a usable point or one that would need more than
    // `kMaxTiles` tiles. Points off the globe (NaN, or beyond ±90° or ±180°) are left out.
    static std::optional<TrackPreviewFrame> make(const std::vector<TrackPoint>& track);

    // The tiles of the range, columns outside, rows inside; rows beyond the world's top
    // or bottom edge are left out, since no server has them.
    std::vector<Tile> tiles() const;
    // Where a world position falls in the picture, in pixels from its top-left corner.
    double pictureX(double worldX) const { return (worldX - originX) * scale; }
    double pictureY(double worldY) const { return (worldY - originY) * scale; }
};

} // namespace velorin
