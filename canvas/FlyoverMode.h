#pragma once

#include <optional>
#include <string_view>

namespace velorin {

// How the camera of a track flyover follows the path: close behind the walker, or high
// above and sweeping from side to side like a drone. Its raw value is what the preference
// stores. A plain value; any thread.
enum class FlyoverMode { follow, drone };

std::string_view rawValue(FlyoverMode mode);
// The mode whose raw value is exactly `rawValue` ("follow", "drone"), or nothing.
std::optional<FlyoverMode> flyoverModeFromRawValue(std::string_view rawValue);

} // namespace velorin
