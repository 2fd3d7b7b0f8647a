#include "canvas/FlyoverReadiness.h"

#include <limits>

namespace velorin {

double FlyoverReadiness::readyDistance(std::int64_t done, std::int64_t total) const
{
    if (done >= total)
        return std::numeric_limits<double>::infinity();
    const std::int64_t tiles = done - extraCount;
    double ready = 0;
    for (const Checkpoint& checkpoint : checkpoints) {
        if (checkpoint.count > tiles)
            break;
        ready = checkpoint.distance;
    }
    return ready;
}

} // namespace velorin
