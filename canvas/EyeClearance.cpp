#include "canvas/EyeClearance.h"

#include <algorithm>
#include <cmath>

namespace velorin {

double EyeClearance::reliefCompression(double pitch)
{
    return pitch >= kFullReliefPitchRadians ? 1.0 : std::sin(pitch) / kSinFullReliefPitch;
}

double EyeClearance::clearedPitch(const Camera& camera, double baseElevationMeters, const Elevation& elevation)
{
    const double focal = camera.viewSize.height * camera.focalLength;
    const double scale = kWorldPixelsAtZoomZero * std::exp2(camera.zoom);
    const double metersPerPixel = camera.center.metersPerWorldUnit() / scale;
    const double bearing = camera.bearing;
    double pitch = camera.pitch;
    while (pitch > 0) {
        const double groundOffset = focal * std::sin(pitch);
        const WorldPoint under = bearing == 0
            ? WorldPoint{camera.center.x, camera.center.y + groundOffset / scale}
            : WorldPoint{camera.center.x - std::sin(bearing) * groundOffset / scale,
                camera.center.y + std::cos(bearing) * groundOffset / scale};
        const double height = elevation(under);
        const double need = ((height - baseElevationMeters) + kClearanceMeters) * reliefCompression(pitch)
            / metersPerPixel;
        if (need <= std::cos(pitch) * focal)
            break;
        pitch = std::max(0.0, pitch - kPitchStepRadians);
    }
    return pitch;
}

} // namespace velorin
