#pragma once

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velorin {

// How the walker was moving when a track point was recorded. Its raw value is the case
// name, which is how tracks store it. A plain value; any thread.
enum class TravelMode : std::uint8_t {
    stationary,
    walking,
    running,
    cycling,
    automotive,
};

inline constexpr std::array<TravelMode, 5> kAllTravelModes = {
    TravelMode::stationary,
    TravelMode::walking,
    TravelMode::running,
    TravelMode::cycling,
    TravelMode::automotive,
};

std::string_view rawValue(TravelMode mode);
// Walking, running and cycling: the modes of a walk under one's own power.
bool isSelfPropelled(TravelMode mode);
// The mode whose raw value is exactly `rawValue`, or nothing.
std::optional<TravelMode> travelModeFromRawValue(std::string_view rawValue);

// Coded as its raw value; an unknown text is a decoding error.
void to_json(nlohmann::json& json, TravelMode mode);
void from_json(const nlohmann::json& json, TravelMode& mode);

} // namespace velorin
