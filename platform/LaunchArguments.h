#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// The process argument that follows the first one equal to `flag` (exact, case included),
// as in "-filmTrack Mardi"; nothing when the flag is absent or last. Any thread.
std::optional<std::string> launchArgumentValue(std::string_view flag, std::span<const std::string> arguments);

} // namespace platform
