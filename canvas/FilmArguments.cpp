#include "canvas/FilmArguments.h"

#include "platform/LaunchArguments.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace velorin {

namespace {

std::vector<WorldPoint> waypoints(const std::string& value)
{
    std::vector<WorldPoint> points;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(';', start);
        if (end == std::string::npos)
            end = value.size();
        const auto numbers = platform::launchNumbers(std::string_view(value).substr(start, end - start));
        if (numbers.size() == 2 && std::abs(numbers[0]) <= 90 && std::abs(numbers[1]) <= 180)
            points.push_back(WorldPoint::fromLatitudeLongitude(numbers[0], numbers[1]));
        start = end + 1;
    }
    return points;
}

} // namespace

std::optional<int> FilmArguments::parseHeight(const std::string& text)
{
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    if (digits.empty())
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value < 1 || value > kMaxHeight)
        return std::nullopt;
    return value;
}

FilmArguments FilmArguments::parse(const std::vector<std::string>& arguments)
{
    FilmArguments film;
    if (auto value = platform::launchArgumentValue("-filmTo", arguments))
        film.filmTo = *value;
    if (auto value = platform::launchArgumentValue("-filmHeight", arguments)) {
        if (auto height = parseHeight(*value)) {
            film.height = *height;
        } else {
            fmt::print(stderr, "film : hauteur « {} » inutilisable, {} pixels\n", *value, kDefaultHeight);
        }
    }
    film.names = std::find(arguments.begin(), arguments.end(), "-filmNames") != arguments.end();
    if (auto value = platform::launchArgumentValue("-dumpFrames", arguments))
        film.dumpFrames = *value;
    if (auto value = platform::launchArgumentValue("-filmTravel", arguments))
        film.travel = waypoints(*value);
    if (auto value = platform::launchArgumentValue("-filmTravelHeight", arguments)) {
        if (auto height = platform::launchNumber(*value); height && std::isfinite(*height))
            film.travelHeight = *height;
    }
    if (auto value = platform::launchArgumentValue("-filmTravelSeconds", arguments)) {
        if (auto seconds = platform::launchNumber(*value); seconds && *seconds > 0 && *seconds <= kMaxTravelSeconds) {
            const int frames = int(kTravelFramesPerSecond * *seconds);
            if (frames >= 1)
                film.travelFrames = frames;
        }
    }
    return film;
}

} // namespace velorin
