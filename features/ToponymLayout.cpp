#include "features/ToponymLayout.h"

#include <algorithm>

namespace velorin {

std::vector<ToponymLayout::Placement> ToponymLayout::layout(const std::vector<Candidate>& candidates,
    std::size_t maxCount, const PointTable& points, const ScreenRect& bounds)
{
    std::vector<Placement> placements;
    std::vector<ScreenRect> occupied;
    for (const Candidate& candidate : candidates) {
        if (placements.size() >= maxCount)
            break;
        const auto found = points.find(WorldPoint::fromLatitudeLongitude(candidate.toponym.latitude,
            candidate.toponym.longitude));
        const ScreenPoint p = found == points.end() ? kNowhere : found->second;
        if (!bounds.contains(p))
            continue;
        const double w = candidate.width;
        const double h = candidate.height;
        ScreenRect frame{p.x - kMarkerInsetPoints, p.y - h / 2, w, h};
        bool textOnLeft = false;
        if (frame.maxX() > bounds.maxX()) {
            const ScreenRect left{p.x + kMarkerInsetPoints - w, p.y - h / 2, w, h};
            if (left.minX() >= bounds.minX()) {
                frame = left;
                textOnLeft = true;
            }
        }
        if (!frame.intersects(bounds))
            continue;
        const ScreenRect grown = frame.insetBy(-kClearancePoints, -kClearancePoints);
        if (std::any_of(occupied.begin(), occupied.end(), [&](const ScreenRect& other) { return grown.intersects(other); }))
            continue;
        occupied.push_back(grown);
        placements.push_back({candidate.toponym, frame, textOnLeft});
    }
    return placements;
}

} // namespace velorin
