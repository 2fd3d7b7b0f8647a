#include "library/TrackPreviewFrame.h"

#include <algorithm>
#include <cmath>

namespace velorin {

std::optional<TrackPreviewFrame> TrackPreviewFrame::make(const std::vector<TrackPoint>& track)
{
    TrackPreviewFrame frame;
    frame.points.reserve(track.size());
    for (const TrackPoint& point : track) {
        // The comparisons also refuse NaN.
        if (std::abs(point.latitude) <= 90 && std::abs(point.longitude) <= 180)
            frame.points.push_back(WorldPoint::fromLatitudeLongitude(point.latitude, point.longitude));
    }
    if (frame.points.empty())
        return std::nullopt;

    const auto [left, right] = std::minmax_element(frame.points.begin(), frame.points.end(),
        [](const WorldPoint& a, const WorldPoint& b) { return a.x < b.x; });
    const auto [top, bottom] = std::minmax_element(frame.points.begin(), frame.points.end(),
        [](const WorldPoint& a, const WorldPoint& b) { return a.y < b.y; });
    frame.minX = left->x;
    frame.maxX = right->x;
    frame.minY = top->y;
    frame.maxY = bottom->y;

    const double w = std::max(frame.maxX - frame.minX, kMinimumExtent) * kMarginFactor;
    const double h = std::max(frame.maxY - frame.minY, kMinimumExtent) * kMarginFactor;
    if (w / h < kAspect) {
        frame.spanX = h * kAspect;
        frame.spanY = h;
    } else {
        frame.spanX = w;
        frame.spanY = w / kAspect;
    }

    const double level = std::floor(std::log2(kPictureWidth / (frame.spanX * kTilePixels)));
    frame.zoom = int(std::clamp(level, double(kMinZoom), double(kMaxZoom)));
    frame.n = int64_t(1) << frame.zoom;
    frame.scale = kPictureWidth / frame.spanX;

    frame.originX = (frame.minX + frame.maxX) / 2 - frame.spanX / 2;
    frame.originY = (frame.minY + frame.maxY) / 2 - frame.spanY / 2;
    const double n = double(frame.n);
    frame.x0 = int64_t(std::floor(frame.originX * n));
    frame.x1 = int64_t(std::floor((frame.originX + frame.spanX) * n));
    frame.y0 = int64_t(std::floor(frame.originY * n));
    frame.y1 = int64_t(std::floor((frame.originY + frame.spanY) * n));

    if ((frame.x1 - frame.x0 + 1) * (frame.y1 - frame.y0 + 1) > kMaxTiles)
        return std::nullopt;
    return frame;
}

std::vector<TrackPreviewFrame::Tile> TrackPreviewFrame::tiles() const
{
    std::vector<Tile> result;
    for (int64_t column = x0; column <= x1; ++column) {
        for (int64_t y = std::max<int64_t>(y0, 0); y <= std::min(y1, n - 1); ++y)
            result.push_back({ column, ((column % n) + n) % n, y });
    }
    return result;
}

} // namespace velorin
