#include "platform/DeliveredFixes.h"

#include "platform/GroundDistance.h"

#include <cmath>
#include <utility>

namespace platform {

void DeliveredFixes::setDistanceFilter(double meters)
{
    distanceFilterMeters_ = std::isfinite(meters) && meters > 0 ? meters : 0;
}

bool DeliveredFixes::admit(const LocationFix& fix)
{
    const bool requested = std::exchange(isRequestPending_, false);
    if (!requested && last_ && distanceFilterMeters_ > 0
        && groundDistance(last_->latitude, last_->longitude, fix.latitude, fix.longitude) < distanceFilterMeters_)
        return false;
    last_ = fix;
    return true;
}

} // namespace platform
