#include "recordings/TravelMode.h"

#include <nlohmann/json.hpp>

#include <string>

namespace velorin {

std::string_view rawValue(TravelMode mode)
{
    switch (mode) {
    case TravelMode::stationary:
        return "stationary";
    case TravelMode::walking:
        return "walking";
    case TravelMode::running:
        return "running";
    case TravelMode::cycling:
        return "cycling";
    case TravelMode::automotive:
        return "automotive";
    }
    return "stationary";
}

bool isSelfPropelled(TravelMode mode)
{
    return mode == TravelMode::walking || mode == TravelMode::running || mode == TravelMode::cycling;
}

std::optional<TravelMode> travelModeFromRawValue(std::string_view text)
{
    for (TravelMode mode : kAllTravelModes) {
        if (rawValue(mode) == text)
            return mode;
    }
    return std::nullopt;
}

void to_json(nlohmann::json& json, TravelMode mode)
{
    json = std::string(rawValue(mode));
}

void from_json(const nlohmann::json& json, TravelMode& mode)
{
    const auto& text = json.get_ref<const std::string&>();
    const auto decoded = travelModeFromRawValue(text);
    if (!decoded)
        throw nlohmann::json::type_error::create(302, "unknown travel mode \"" + text + "\"", &json);
    mode = *decoded;
}

} // namespace velorin
