#include "platform/ReferenceDate.h"

#include <chrono>
#include <cmath>

namespace platform {

namespace {

// About 3,000 years either side: far inside what the system clock's nanoseconds hold.
constexpr double kLargestSeconds = 1e11;

} // namespace

double secondsSinceReferenceDate(SystemTime time)
{
    const std::chrono::duration<double> sinceEpoch = time.time_since_epoch();
    return sinceEpoch.count() - kReferenceDateUnixSeconds;
}

std::optional<SystemTime> dateFromReferenceSeconds(double seconds)
{
    if (!std::isfinite(seconds) || std::abs(seconds) > kLargestSeconds)
        return std::nullopt;
    const std::chrono::duration<double> sinceEpoch(seconds + kReferenceDateUnixSeconds);
    return SystemTime(std::chrono::duration_cast<SystemTime::duration>(sinceEpoch));
}

} // namespace platform
