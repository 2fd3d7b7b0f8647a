// Where the markers over the map stand in the view, and which of them are hidden.

#include "canvas/MapCanvasView.h"

#include <algorithm>

namespace velorin {

Camera::Point MapCanvasView::viewPoint(WorldPoint point) const
{
    if (apple_) {
        // The world map's own point, already in view points.
        const auto shown = apple_->mapView().point(AppleMapLayer::coordinate(point));
        return shown ? Camera::Point {shown->x, shown->y}
                     : Camera::Point {Camera::kOffscreenCoordinate, Camera::kOffscreenCoordinate};
    }
    const Camera& camera = renderer_->camera;
    const Camera::Point pixels = camera.pitch == 0
        ? camera.screenPoint(point, 0)
        : renderer_->screenPoint(point).value_or(Camera::Point {Camera::kOffscreenCoordinate, Camera::kOffscreenCoordinate});
    const double scale = std::max(1.0, window_.screenScale());
    return {pixels.x / scale, pixels.y / scale};
}

std::vector<MarkerPlacement> MapCanvasView::markerPlacements(
    const std::vector<int>& markers, const std::vector<WorldPoint>& points, const ScreenRect& rect) const
{
    std::vector<MarkerPlacement> placements;
    const std::size_t count = std::min(markers.size(), points.size());
    placements.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Camera::Point at = viewPoint(points[i]);
        // The platform map has no relief of ours to hide anything behind.
        const bool hidden = !rect.contains({at.x, at.y}) || (!isAppleLayerShown() && renderer_->isHiddenByTerrain(points[i]));
        placements.push_back({markers[i], at, hidden});
    }
    return placements;
}

} // namespace velorin
