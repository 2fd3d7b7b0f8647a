// The launch arguments, split at NUL bytes as the system hands them over: the start view
// after "-startAt", the flight options and the film options. Every number they give is
// finite and within its range, every point lies on the world, and a start view written
// back as its numbers reads again the same.

#include "canvas/FilmArguments.h"
#include "canvas/FlightOptions.h"
#include "canvas/StartView.h"
#include "fuzz/FuzzCheck.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The Mercator latitude limit is rounded: its edges land a few 1e-12 outside the world.
bool onWorld(const velorin::WorldPoint& point)
{
    constexpr double slack = 1e-9;
    return point.x >= -slack && point.x <= 1 + slack && point.y >= -slack && point.y <= 1 + slack;
}

std::string shortest(double value)
{
    std::array<char, 32> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
    return std::string(buffer.data(), end);
}

void checkStartView(const std::vector<std::string>& arguments)
{
    const auto view = velorin::StartView::parse(arguments);
    if (!view)
        return;
    for (double value : {view->latitude, view->longitude, view->zoom, view->bearingDegrees, view->pitchDegrees})
        FUZZ_CHECK(std::isfinite(value));
    FUZZ_CHECK(!view->focalLength || std::isfinite(*view->focalLength));

    std::string numbers = shortest(view->latitude) + "," + shortest(view->longitude) + "," + shortest(view->zoom) + ","
        + shortest(view->bearingDegrees) + "," + shortest(view->pitchDegrees);
    if (view->focalLength)
        numbers += "," + shortest(*view->focalLength);
    const std::vector<std::string> written{"-startAt", numbers};
    const auto again = velorin::StartView::parse(written);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *view);
}

void checkFlightOptions(const std::vector<std::string>& arguments)
{
    const auto options = velorin::FlightOptions::parse(arguments);
    FUZZ_CHECK(std::isfinite(options.orbitRadius) && options.orbitRadius > 0);
    if (options.outro) {
        FUZZ_CHECK(onWorld(options.outro->ground) && onWorld(options.outro->foreground));
        FUZZ_CHECK(std::isfinite(options.outro->height) && std::isfinite(options.outro->look));
    }
    FUZZ_CHECK(!options.filmSeconds || (std::isfinite(*options.filmSeconds) && *options.filmSeconds > 0));
}

void checkFilmArguments(const std::vector<std::string>& arguments)
{
    const auto film = velorin::FilmArguments::parse(arguments);
    FUZZ_CHECK(film.height >= 1 && film.height <= velorin::FilmArguments::kMaxHeight);
    for (const auto& point : film.travel)
        FUZZ_CHECK(onWorld(point));
    FUZZ_CHECK(std::isfinite(film.travelHeight));
    constexpr double maxFrames = velorin::FilmArguments::kMaxTravelSeconds * velorin::FilmArguments::kTravelFramesPerSecond;
    FUZZ_CHECK(film.travelFrames >= 1 && film.travelFrames <= maxFrames);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> arguments{"velorin"};
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        arguments.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    checkStartView(arguments);
    checkFlightOptions(arguments);
    checkFilmArguments(arguments);
    return 0;
}
