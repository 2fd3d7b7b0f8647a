#include "app/CameraReadout.h"

#include "canvas/GestureJournal.h"
#include "platform/NumberFormat.h"

#include <fmt/format.h>

#include <cmath>
#include <numbers>

namespace velorin {

namespace {

constexpr double kDegreesPerRadian = 180 / std::numbers::pi;

// `value` with `decimals` decimals between `before` and `after`, or the dash.
std::string number(double value, int decimals, std::string_view before = {}, std::string_view after = {})
{
    if (!std::isfinite(value))
        return CameraReadout::kMissing;
    return fmt::format("{}{}{}", before, platform::frenchNumber(value, decimals), after);
}

std::string coordinate(double degrees, const char* positive, const char* negative)
{
    if (!std::isfinite(degrees))
        return CameraReadout::kMissing;
    return fmt::format("{}° {}", platform::frenchNumber(std::abs(degrees), 5), degrees >= 0 ? positive : negative);
}

} // namespace

std::string CameraReadout::position(WorldPoint point)
{
    return coordinate(point.latitude(), "N", "S") + "  " + coordinate(point.longitude(), "E", "O");
}

std::string CameraReadout::altitude(double meters)
{
    // Halves round up, as a walker reads them.
    return number(std::round(meters) + 0.0, 0, {}, " m d'altitude");
}

std::string CameraReadout::bearing(double radians)
{
    return number(Camera::wrapAngle(radians) * kDegreesPerRadian, 1, {}, "°");
}

std::string CameraReadout::pitch(double radians)
{
    return number(radians * kDegreesPerRadian, 1, {}, "°");
}

std::string CameraReadout::zoom(double zoom)
{
    return number(zoom, 2);
}

std::string CameraReadout::focal(double focalLength)
{
    return number(focalLength, 2, "×");
}

std::string CameraReadout::launchLine(const Camera& camera)
{
    return "-startAt " + GestureJournal::startAtNumbers(camera);
}

} // namespace velorin
