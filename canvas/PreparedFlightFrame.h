#pragma once

#include "canvas/FrameOverlays.h"
#include "renderer/MapRenderer.h"

namespace velorin {

// One frame of a flight prepared ahead: the renderer's scene for its camera, to be put back
// as it was captured, and the overlays placed for it. GUI thread only.
struct PreparedFlightFrame {
    MapRenderer::FlightScene scene;
    FrameOverlays overlays;
};

} // namespace velorin
