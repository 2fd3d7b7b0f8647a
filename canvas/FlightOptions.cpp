#include "canvas/FlightOptions.h"

#include "platform/LaunchArguments.h"

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr std::size_t kOutroNumbers = 5;

// Nothing off the globe: a piece that is not a number moves every later one into the slot
// before, which puts a height where a longitude belongs.
std::optional<WorldPoint> clampedPoint(double latitude, double longitude)
{
    if (!(std::abs(latitude) <= 90 && std::abs(longitude) <= 180))
        return std::nullopt;
    return WorldPoint::fromLatitudeLongitude(
        std::clamp(latitude, -kMaxMercatorLatitudeDegrees, kMaxMercatorLatitudeDegrees), longitude);
}

} // namespace

FlightOptions FlightOptions::parse(const std::vector<std::string>& arguments)
{
    FlightOptions options;
    if (auto value = platform::launchArgumentValue("-orbitRadius", arguments)) {
        if (auto radius = platform::launchNumber(*value); radius && *radius > 0)
            options.orbitRadius = *radius;
    }
    if (auto value = platform::launchArgumentValue("-orbitOutro", arguments)) {
        const auto numbers = platform::launchNumbers(*value);
        const auto ground = numbers.size() >= kOutroNumbers ? clampedPoint(numbers[0], numbers[1]) : std::nullopt;
        const auto foreground = numbers.size() >= kOutroNumbers ? clampedPoint(numbers[3], numbers[4]) : std::nullopt;
        if (ground && foreground) {
            options.outro = Flight::Outro{
                *ground, numbers[2], *foreground, numbers.size() > kOutroNumbers ? numbers[5] : kDefaultOutroLook};
        }
    }
    if (auto value = platform::launchArgumentValue("-filmSeconds", arguments)) {
        if (auto seconds = platform::launchNumber(*value); seconds && *seconds > 0)
            options.filmSeconds = *seconds;
    }
    return options;
}

} // namespace velorin
