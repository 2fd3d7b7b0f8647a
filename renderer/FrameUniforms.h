#pragma once

#include "renderer/Camera.h"
#include "renderer/FrameState.h"

#include <cstddef>

namespace velorin {

// The std140 block "Frame" that every terrain, tree and building draw of a frame shares:
// how to project a ground offset (bearing, pitch, focal distance, half view size), how to
// lift it by the relief, and the distances that limit ray marches and fade the canopy.
// Member order is the contract with the GLSL. A plain value; any thread.
struct FrameUniforms {
    float bearingCos = 1;
    float bearingSin = 0;
    float pitchSin = 0;
    float pitchCos = 1;
    float focal = 0;
    float halfWidth = 0;
    float halfHeight = 0;
    float heightScale = 0;
    float baseElevation = 0;
    float near = 0;
    float epsilon = 0;
    float distanceLimit = 0;
    float eyeDistance = 0;
    float photoRelief = 0;
    float bumpFadeStart = 0;
    float bumpFadeEnd = 0;
    float bumpNearStart = 0;
    float bumpNearEnd = 0;

    static constexpr float kEpsilon = 0.0005f;
    // The nearest drawn depth, as a share of the focal distance.
    static constexpr double kNearShare = 0.01;

    // The block of one frame; `photographic` when the basemap is aerial imagery.
    static FrameUniforms make(const Camera& camera, const FrameState& frame, bool photographic);

    bool operator==(const FrameUniforms&) const = default;
};

static_assert(sizeof(FrameUniforms) == 18 * sizeof(float));
static_assert(offsetof(FrameUniforms, near) == 36);
static_assert(offsetof(FrameUniforms, bumpNearEnd) == 68);

} // namespace velorin
