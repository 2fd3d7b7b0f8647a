#pragma once

namespace velorin {

// A point of the map view, in points from its top left corner, y downwards. A plain value;
// any thread.
struct ScreenPoint {
    double x = 0;
    double y = 0;

    bool operator==(const ScreenPoint&) const = default;
};

} // namespace velorin
