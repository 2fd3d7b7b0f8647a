#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The process argument that follows the first one equal to `flag` (exact, case included),
// as in "-filmTrack Mardi"; nothing when the flag is absent or last. Any thread.
std::optional<std::string> launchArgumentValue(std::string_view flag, std::span<const std::string> arguments);

// A whole launch-argument number in decimal notation with an optional sign, in the C locale
// whatever the user's; nothing for anything else, "nan" and "inf" included.
std::optional<double> launchNumber(std::string_view text);
// The numbers of a comma-separated value, pieces that are not numbers (or empty) left out.
std::vector<double> launchNumbers(std::string_view commaSeparated);

} // namespace platform
