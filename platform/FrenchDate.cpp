#include "platform/FrenchDate.h"

#include <fmt/format.h>

#include <array>
#include <ctime>
#include <optional>

namespace platform {

namespace {

constexpr std::array<const char*, 12> kAbbreviatedMonths {
    "janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.", "déc."};
constexpr std::array<const char*, 12> kMonths {"janvier", "février", "mars", "avril", "mai", "juin", "juillet",
    "août", "septembre", "octobre", "novembre", "décembre"};

std::optional<std::tm> localTime(SystemTime time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::floor<std::chrono::seconds>(time));
    std::tm local {};
    if (!::localtime_r(&seconds, &local))
        return std::nullopt;
    return local;
}

} // namespace

std::string frenchDate(SystemTime time, FrenchDateParts parts)
{
    const std::optional<std::tm> found = localTime(time);
    if (!found)
        return {};
    const std::tm& local = *found;
    const auto month = static_cast<std::size_t>(local.tm_mon);
    std::string text = fmt::format("{} {}", local.tm_mday, parts.fullMonth ? kMonths[month] : kAbbreviatedMonths[month]);
    if (parts.year)
        text += fmt::format(" {}", local.tm_year + 1900);
    if (parts.time)
        text += fmt::format(" à {:02}:{:02}", local.tm_hour, local.tm_min);
    return text;
}

std::string frenchTime(SystemTime time)
{
    const std::optional<std::tm> local = localTime(time);
    return local ? fmt::format("{:02}:{:02}", local->tm_hour, local->tm_min) : std::string();
}

} // namespace platform
