// The device's position on the map: the marker and the one-time centring on the first
// usable fix after start-up.

#include "canvas/MapCanvasView.h"
#include "renderer/PixelScale.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {

bool hasCoordinates(const platform::LocationFix& fix)
{
    return std::isfinite(fix.latitude) && std::isfinite(fix.longitude);
}

} // namespace

void MapCanvasView::setUserLocation(const std::optional<platform::LocationFix>& fix)
{
    if (fix && hasCoordinates(*fix)) {
        const double accuracy = fix->horizontalAccuracy;
        renderer_->userLocation = MapRenderer::UserLocation{
            WorldPoint::fromLatitudeLongitude(fix->latitude, fix->longitude),
            accuracy > 0 && std::isfinite(accuracy) ? accuracy : 0};
    } else {
        renderer_->userLocation.reset();
    }
    if (apple_)
        apple_->setPosition(renderer_->userLocation ? std::optional(renderer_->userLocation->world) : std::nullopt);
    ensureDisplayLink();
}

bool MapCanvasView::handleInitialLocation(const platform::LocationFix& fix)
{
    if (!awaitingInitialLocation_ || !hasPerformedInitialFit_)
        return false;
    const double time = now();
    if (time >= initialLocateDeadline_) {
        awaitingInitialLocation_ = false;
        return false;
    }
    const double accuracy = fix.horizontalAccuracy;
    if (!(accuracy > 0) || !hasCoordinates(fix))
        return false;
    if (accuracy > kPoorFixAccuracyMeters && time < initialLocateDeadline_ - kAnyFixTakenSeconds)
        return false;
    awaitingInitialLocation_ = false;
    const WorldPoint point = WorldPoint::fromLatitudeLongitude(fix.latitude, fix.longitude);
    const WorldRect& reach = reachableRect();
    if (point.x < reach.minX || point.x > reach.maxX || point.y < reach.minY || point.y > reach.maxY)
        return false;
    animateCamera(point, zoomForFix(accuracy, fix.latitude), false);
    return true;
}

double MapCanvasView::zoomForFix(double accuracy, double latitude) const
{
    const double phi = std::clamp(latitude, -kMaxMercatorLatitudeDegrees, kMaxMercatorLatitudeDegrees)
        * std::numbers::pi / 180.0;
    const double worldMeters = std::cos(phi) * kEarthCircumferenceMeters;
    const double fine = std::log2(worldMeters / kFineFixMetersPerPixel / kWorldPixelsAtZoomZero);
    if (accuracy <= kPoorFixAccuracyMeters)
        return fine;
    const double span = kPoorFixSpanAccuracies * accuracy;
    const double width = pixelScale(window_.boundsInPoints(), window_.screenScale()).width;
    const double metersPerPixel = width > 1 ? span / width : span;
    const double wide = metersPerPixel > 0 ? std::log2(worldMeters / metersPerPixel / kWorldPixelsAtZoomZero) : 0;
    return std::min(std::max(kMinPoorFixZoom, wide), fine);
}

} // namespace velorin
