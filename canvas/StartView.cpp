#include "canvas/StartView.h"

#include "platform/LaunchArguments.h"

#include <vector>

namespace velorin {

namespace {

constexpr std::size_t kRequiredNumbers = 3;

} // namespace

std::optional<StartView> StartView::parse(std::span<const std::string> arguments)
{
    const auto value = platform::launchArgumentValue("-startAt", arguments);
    if (!value)
        return std::nullopt;
    const std::vector<double> numbers = platform::launchNumbers(*value);
    if (numbers.size() < kRequiredNumbers)
        return std::nullopt;
    StartView view;
    view.latitude = numbers[0];
    view.longitude = numbers[1];
    view.zoom = numbers[2];
    if (numbers.size() > 3)
        view.bearingDegrees = numbers[3];
    if (numbers.size() > 4)
        view.pitchDegrees = numbers[4];
    if (numbers.size() > 5)
        view.focalLength = numbers[5];
    return view;
}

} // namespace velorin
