#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Percent-encodes every byte except the unreserved characters (letters, digits, "-._~")
// and those in `alsoAllowed` ("/" for a path, for instance). Any thread.
std::string percentEncode(std::string_view text, std::string_view alsoAllowed = {});
// Form encoding (application/x-www-form-urlencoded): spaces become "+".
std::string formEncode(std::string_view text);
// Nothing when a "%" is not followed by two hex digits.
std::optional<std::string> percentDecode(std::string_view text);

} // namespace platform
