// The track on the map: the ribbon the renderer draws with its pauses, and the framing of
// an opened track.

#include "canvas/MapCanvasView.h"
#include "recordings/TrackSmoothing.h"

#include <utility>

namespace velorin {

void MapCanvasView::setTrack(const std::vector<TrackDisplayPoint>& points, std::vector<TrackPause> pauses)
{
    if (isFlying())
        endFlight();
    renderer_->trackPoints = smoothed(points, kTrackSmoothingPasses);
    if (apple_)
        apple_->setTrack(renderer_->trackPoints);
    pauses_ = std::move(pauses);
    rebuildPauseChips();
    ensureDisplayLink();
}

void MapCanvasView::fit(const std::vector<WorldPoint>& points)
{
    if (points.empty())
        return;
    const WorldRect bounds = WorldRect::boundingRect(points);
    const double dx = kFitPointsWideningShare * (bounds.maxX - bounds.minX);
    const double dy = kFitPointsWideningShare * (bounds.maxY - bounds.minY);
    const WorldRect widened {bounds.minX - dx, bounds.minY - dy, bounds.maxX + dx, bounds.maxY + dy};
    frame(widened, {(bounds.minX + bounds.maxX) / 2, (bounds.minY + bounds.maxY) / 2}, kFitPointsMarginPoints, true);
}

} // namespace velorin
