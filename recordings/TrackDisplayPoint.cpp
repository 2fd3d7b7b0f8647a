#include "recordings/TrackDisplayPoint.h"

#include <cmath>

namespace velorin {

std::vector<double> stepLengths(const std::vector<TrackDisplayPoint>& points, double metersPerUnit)
{
    std::vector<double> lengths;
    if (points.size() < 2)
        return lengths;
    lengths.reserve(points.size() - 1);
    for (std::size_t i = 1; i < points.size(); ++i) {
        lengths.push_back(std::hypot(points[i].world.x - points[i - 1].world.x, points[i].world.y - points[i - 1].world.y)
            * metersPerUnit);
    }
    return lengths;
}

} // namespace velorin
