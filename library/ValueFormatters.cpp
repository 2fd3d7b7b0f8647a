#include "library/ValueFormatters.h"

#include "platform/NumberFormat.h"

#include <cmath>
#include <cstdint>

namespace velorin {

namespace {

constexpr const char* kNoValue = "—";
constexpr double kKilometreMeters = 1000;
constexpr std::int64_t kMinuteSeconds = 60;
constexpr std::int64_t kHourSeconds = 3600;
constexpr double kKilometresPerHourPerMeterPerSecond = 3.6;
// Within the range of a 64-bit integer, so that rounding never overflows.
constexpr double kLargestWhole = 9e18;

// Whether the value can be written: finite and within 64-bit range; beyond, a figure
// would be wrong, so none is shown.
bool isShown(double value)
{
    return std::isfinite(value) && std::abs(value) <= kLargestWhole;
}

// Half away from zero; a value that rounds to zero has no sign. Only for shown values.
std::int64_t whole(double value)
{
    return std::llround(value);
}

} // namespace

std::string formatDistance(double meters)
{
    if (!isShown(meters))
        return kNoValue;
    if (meters < kKilometreMeters)
        return std::to_string(whole(meters)) + " m";
    return platform::frenchNumber(meters / kKilometreMeters, 2) + " km";
}

std::string formatDuration(double seconds)
{
    if (!isShown(seconds))
        return kNoValue;
    const std::int64_t s = whole(seconds);
    if (s < kMinuteSeconds)
        return std::to_string(s) + " s";
    if (s < kHourSeconds)
        return std::to_string(s / kMinuteSeconds) + " min";
    const std::int64_t minutes = s % kHourSeconds / kMinuteSeconds;
    return std::to_string(s / kHourSeconds) + " h " + (minutes < 10 ? "0" : "") + std::to_string(minutes);
}

std::string formatAltitude(double meters)
{
    if (!isShown(meters))
        return kNoValue;
    return std::to_string(whole(meters)) + " m";
}

std::string formatSpeed(std::optional<double> metersPerSecond)
{
    if (!metersPerSecond)
        return kNoValue;
    const double kilometresPerHour = *metersPerSecond * kKilometresPerHourPerMeterPerSecond;
    if (!isShown(kilometresPerHour))
        return kNoValue;
    return platform::frenchNumber(kilometresPerHour, 1) + " km/h";
}

} // namespace velorin
