#pragma once

#include "features/ScreenPoint.h"

namespace velorin {

// A rectangle of the map view in points, from its top left corner, y downwards: the frame of
// a label or of the hover card. A plain value; any thread.
struct ScreenRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }

    // The left and top edges belong to the rectangle, the right and bottom ones do not.
    bool contains(ScreenPoint point) const
    {
        return point.x >= minX() && point.x < maxX() && point.y >= minY() && point.y < maxY();
    }
    // Whether the two share some area: rectangles that only touch do not intersect.
    bool intersects(const ScreenRect& other) const
    {
        return minX() < other.maxX() && other.minX() < maxX() && minY() < other.maxY() && other.minY() < maxY();
    }
    // Shrunk by `dx` on the left and right and `dy` at the top and bottom; grown when negative.
    ScreenRect insetBy(double dx, double dy) const { return {x + dx, y + dy, width - 2 * dx, height - 2 * dy}; }

    bool operator==(const ScreenRect&) const = default;
};

} // namespace velorin
