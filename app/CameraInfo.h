#pragma once

#include "renderer/Camera.h"
#include "renderer/ReliefGeometry.h"

namespace velorin {

// The camera readout: the camera the map draws with and where its eye is, over which ground
// point and how high. A plain value; any thread.
struct CameraInfo {
    Camera camera;
    ReliefGeometry::Eye eye;

    bool operator==(const CameraInfo& other) const
    {
        return camera == other.camera && eye.ground == other.eye.ground && eye.altitude == other.eye.altitude;
    }
};

} // namespace velorin
