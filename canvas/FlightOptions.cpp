#include "canvas/FlightOptions.h"

#include "platform/LaunchArguments.h"

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr std::size_t kOutroNumbers = 5;

WorldPoint clampedPoint(double latitude, double longitude)
{
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
        if (numbers.size() >= kOutroNumbers) {
            options.outro = Flight::Outro{clampedPoint(numbers[0], numbers[1]), numbers[2],
                clampedPoint(numbers[3], numbers[4]), numbers.size() > kOutroNumbers ? numbers[5] : kDefaultOutroLook};
        }
    }
    if (auto value = platform::launchArgumentValue("-filmSeconds", arguments)) {
        if (auto seconds = platform::launchNumber(*value); seconds && *seconds > 0)
            options.filmSeconds = *seconds;
    }
    return options;
}

} // namespace velorin
