#include "platform/LaunchArguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace platform {

std::optional<std::string> launchArgumentValue(std::string_view flag, std::span<const std::string> arguments)
{
    auto found = std::find(arguments.begin(), arguments.end(), flag);
    if (found == arguments.end() || std::next(found) == arguments.end())
        return std::nullopt;
    return *std::next(found);
}

std::optional<double> launchNumber(std::string_view text)
{
    // from_chars takes a minus sign but no plus sign.
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-'))
            return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::vector<double> launchNumbers(std::string_view commaSeparated)
{
    std::vector<double> numbers;
    std::string_view rest = commaSeparated;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        if (auto parsed = launchNumber(rest.substr(0, comma)))
            numbers.push_back(*parsed);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    return numbers;
}

} // namespace platform
