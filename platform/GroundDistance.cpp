#include "platform/GroundDistance.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform {

double groundDistance(double latitude1, double longitude1, double latitude2, double longitude2)
{
    constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
    const double phi1 = latitude1 * kRadiansPerDegree;
    const double phi2 = latitude2 * kRadiansPerDegree;
    const double halfDeltaPhi = std::sin((phi1 - phi2) / 2);
    const double halfDeltaLambda = std::sin((longitude1 - longitude2) * kRadiansPerDegree / 2);
    const double a = halfDeltaPhi * halfDeltaPhi + std::cos(phi1) * std::cos(phi2) * halfDeltaLambda * halfDeltaLambda;
    // Rounding can push a a hair above 1; the clamp keeps the second root real.
    return kEarthDiameterMeters * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a)));
}

} // namespace platform
