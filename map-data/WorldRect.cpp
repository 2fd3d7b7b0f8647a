#include "map-data/WorldRect.h"

#include <algorithm>
#include <cassert>

namespace velorin {

WorldRect WorldRect::boundingRect(std::span<const WorldPoint> points)
{
    assert(!points.empty());
    if (points.empty())
        return {};
    WorldRect rect { points[0].x, points[0].y, points[0].x, points[0].y };
    for (const auto& point : points.subspan(1)) {
        rect.minX = std::min(rect.minX, point.x);
        rect.minY = std::min(rect.minY, point.y);
        rect.maxX = std::max(rect.maxX, point.x);
        rect.maxY = std::max(rect.maxY, point.y);
    }
    return rect;
}

} // namespace velorin
