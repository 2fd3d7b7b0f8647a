#include "canvas/StartView.h"

#include "platform/LaunchArguments.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

namespace velorin {

namespace {

constexpr std::size_t kRequiredNumbers = 3;

// A whole piece in decimal notation with an optional sign, in the C locale whatever the
// user's.
std::optional<double> number(std::string_view piece)
{
    // from_chars takes a minus sign but no plus sign.
    if (piece.starts_with('+')) {
        piece.remove_prefix(1);
        if (piece.starts_with('-'))
            return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (error != std::errc{} || end != piece.data() + piece.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<StartView> StartView::parse(std::span<const std::string> arguments)
{
    const auto value = platform::launchArgumentValue("-startAt", arguments);
    if (!value)
        return std::nullopt;
    std::vector<double> numbers;
    std::string_view rest = *value;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view piece = rest.substr(0, comma);
        if (auto parsed = number(piece))
            numbers.push_back(*parsed);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
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
