#include "map-data/WorldPoint.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {
constexpr double kDegreesPerRadian = 57.29577951308232;
}

WorldPoint WorldPoint::fromLatitudeLongitude(double latitudeDegrees, double longitudeDegrees)
{
    const double latitude
        = std::clamp(latitudeDegrees, -kMaxMercatorLatitudeDegrees, kMaxMercatorLatitudeDegrees);
    const double phi = latitude * std::numbers::pi / 180.0;
    return {
        (longitudeDegrees + 180.0) / 360.0,
        (1.0 - std::log(std::tan(phi) + 1.0 / std::cos(phi)) / std::numbers::pi) / 2.0,
    };
}

double WorldPoint::latitude() const
{
    return std::atan(std::sinh(std::numbers::pi * (1.0 - 2.0 * y))) * kDegreesPerRadian;
}

double WorldPoint::longitude() const
{
    return x * 360.0 - 180.0;
}

double WorldPoint::metersPerWorldUnit() const
{
    return std::cos(latitude() * std::numbers::pi / 180.0) * kEarthCircumferenceMeters;
}

double WorldPoint::metersPerPixel(double zoom) const
{
    return std::cos(latitude() * std::numbers::pi / 180.0) * kEarthCircumferenceMeters
        / (std::exp2(zoom) * kWorldPixelsAtZoomZero);
}

} // namespace velorin
