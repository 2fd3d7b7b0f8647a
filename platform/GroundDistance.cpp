#include "platform/GroundDistance.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace platform {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// The haversine term of two positions, from the first's latitude cosine.
double haversine(double latitude1, double cosLatitude1, double longitude1, double latitude2, double longitude2)
{
    const double phi1 = latitude1 * kRadiansPerDegree;
    const double phi2 = latitude2 * kRadiansPerDegree;
    const double halfDeltaPhi = std::sin((phi1 - phi2) / 2);
    const double halfDeltaLambda = std::sin((longitude1 - longitude2) * kRadiansPerDegree / 2);
    return halfDeltaPhi * halfDeltaPhi + cosLatitude1 * std::cos(phi2) * halfDeltaLambda * halfDeltaLambda;
}

} // namespace

double groundDistance(double latitude1, double longitude1, double latitude2, double longitude2)
{
    const double a = haversine(latitude1, std::cos(latitude1 * kRadiansPerDegree), longitude1, latitude2, longitude2);
    // Rounding can push a a hair above 1; the clamp keeps the second root real.
    return kEarthDiameterMeters * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a)));
}

GroundCircle::GroundCircle(double latitude, double longitude, double radiusMeters)
    : latitude_(latitude)
    , longitude_(longitude)
    , cosLatitude_(std::cos(latitude * kRadiansPerDegree))
{
    // The distance grows with the term, D·asin(√a), up to half the way round the Earth.
    const double angle = radiusMeters / kEarthDiameterMeters;
    if (!(angle >= 0))
        limit_ = -1;
    else if (angle >= std::numbers::pi / 2)
        limit_ = std::numeric_limits<double>::infinity();
    else
        limit_ = std::sin(angle) * std::sin(angle);
}

bool GroundCircle::contains(double latitude, double longitude) const
{
    return haversine(latitude_, cosLatitude_, longitude_, latitude, longitude) <= limit_;
}

} // namespace platform
