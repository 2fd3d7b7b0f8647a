#include "app/CameraReadout.h"

#include "canvas/GestureJournal.h"

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
    return fmt::format("{}{:.{}f}{}", before, value, decimals, after);
}

std::string coordinate(double degrees, const char* positive, const char* negative)
{
    if (!std::isfinite(degrees))
        return CameraReadout::kMissing;
    return fmt::format("{:.5f}° {}", std::abs(degrees), degrees >= 0 ? positive : negative);
}

} // namespace

std::string CameraReadout::position(WorldPoint point)
{
    return coordinate(point.latitude(), "N", "S") + "  " + coordinate(point.longitude(), "E", "O");
}

std::string CameraReadout::altitude(double meters)
{
    // Rounded as a double: a value out of the integers' range is never converted.
    if (!std::isfinite(meters))
        return kMissing;
    return fmt::format("{:.0f} m d'altitude", std::round(meters) + 0.0);
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
