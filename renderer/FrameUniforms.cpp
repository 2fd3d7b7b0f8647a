#include "renderer/FrameUniforms.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velorin {

namespace {
// Ray marches reach at least this many focal distances, and a quarter of the sight distance.
constexpr double kMinDistanceLimitInFocalDistances = 2;
constexpr double kDistanceLimitSightShare = 0.25;
} // namespace

FrameUniforms FrameUniforms::make(const Camera& camera, const FrameState& frame, bool photographic)
{
    const double f = camera.focalDistance();
    const double eyeDistance = camera.eyeDistance();
    FrameUniforms uniforms;
    uniforms.bearingCos = float(frame.frameCos);
    uniforms.bearingSin = float(frame.frameSin);
    uniforms.pitchSin = float(std::sin(camera.pitch));
    uniforms.pitchCos = float(std::cos(camera.pitch));
    uniforms.focal = float(f);
    uniforms.halfWidth = float(camera.viewSize.width * 0.5);
    uniforms.halfHeight = float(camera.viewSize.height * 0.5);
    uniforms.heightScale = float(frame.frameHeightScale);
    uniforms.baseElevation = float(frame.frameBaseElevation);
    uniforms.near = float(f * kNearShare);
    uniforms.epsilon = kEpsilon;
    uniforms.distanceLimit = camera.pitch != 0
        ? float(std::max(kMinDistanceLimitInFocalDistances * f, eyeDistance * kDistanceLimitSightShare))
        : std::numeric_limits<float>::max();
    uniforms.eyeDistance = float(eyeDistance);
    uniforms.photoRelief = photographic && frame.frameHeightScale != 0 ? 1.0f : 0.0f;
    uniforms.bumpFadeStart = float(frame.frameBumpFade.start);
    uniforms.bumpFadeEnd = float(frame.frameBumpFade.end);
    uniforms.bumpNearStart = float(frame.frameBumpNear.start);
    uniforms.bumpNearEnd = float(frame.frameBumpNear.end);
    return uniforms;
}

} // namespace velorin
