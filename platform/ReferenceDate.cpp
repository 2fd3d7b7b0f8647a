#include "platform/ReferenceDate.h"

#include <chrono>
#include <cmath>

namespace platform {

namespace {

// The system clock counts nanoseconds in 64 bits: some 292 years either side of 1970. A
// date beyond would wrap.
constexpr double kLargestUnixSeconds = 9.2e9;

} // namespace

double secondsSinceReferenceDate(SystemTime time)
{
    const std::chrono::duration<double> sinceEpoch = time.time_since_epoch();
    return sinceEpoch.count() - kReferenceDateUnixSeconds;
}

std::optional<SystemTime> dateFromReferenceSeconds(double seconds)
{
    if (!std::isfinite(seconds) || std::abs(seconds + kReferenceDateUnixSeconds) > kLargestUnixSeconds)
        return std::nullopt;
    const std::chrono::duration<double> sinceEpoch(seconds + kReferenceDateUnixSeconds);
    return SystemTime(std::chrono::duration_cast<SystemTime::duration>(sinceEpoch));
}

} // namespace platform
