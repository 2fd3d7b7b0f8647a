#pragma once

#include "platform/gpu/Std140.h"

namespace velorin {

// The values that scene preparation works out once per frame and that the encoder, the
// meshes and the geometric services read back: the bearing's cosine and sine, the relief
// scale and base, the elevation zoom, the canopy relief fade distances and the eye's
// ground position. Saved and put back whole with a flight scene. A plain value; any
// thread.
struct FrameState {
    struct Range {
        double start = 0;
        double end = 0;

        bool operator==(const Range&) const = default;
    };

    double frameCos = 1;
    double frameSin = 0;
    // Screen pixels per metre of relief; 0 draws the map flat.
    double frameHeightScale = 0;
    // Metres subtracted from every elevation before scaling.
    double frameBaseElevation = 0;
    // Elevation zoom of this frame's meshes.
    int frameTerrainZoom = 0;
    // View depths (pixels) over which the canopy relief fades out.
    Range frameBumpFade;
    Range frameBumpNear;
    // The eye's ground position minus the camera centre, in world pixels.
    gpu::Float2 frameTreeEye;

    bool operator==(const FrameState&) const = default;
};

} // namespace velorin
