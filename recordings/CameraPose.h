#pragma once

#include <cmath>

namespace velorin {

// Where a camera stood in one frame of a recorded flight or a saved view: its centre in
// normalised Web Mercator, zoom, bearing and pitch in radians, focal length, and the size in
// pixels of the view it was taken in. A plain value; any thread.
struct CameraPose {
    double x = 0;
    double y = 0;
    double zoom = 0;
    double bearing = 0;
    double pitch = 0;
    double focal = 0;
    double width = 0;
    double height = 0;

    // Every value is a finite number: only such a pose can be shown or stored.
    bool isFinite() const
    {
        for (double value : {x, y, zoom, bearing, pitch, focal, width, height}) {
            if (!std::isfinite(value))
                return false;
        }
        return true;
    }

    bool operator==(const CameraPose&) const = default;
};

} // namespace velorin
