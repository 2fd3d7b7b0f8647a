#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// Percent-encodes every byte except the unreserved characters (letters, digits, "-._~")
// and those in `alsoAllowed` ("/" for a path, for instance). Any thread.
std::string percentEncode(std::string_view text, std::string_view alsoAllowed = {});
// A URL's query item; its name is plain ASCII.
struct QueryItem {
    std::string_view name;
    std::string value;
};
// "?name=value&…" in the order given, the values percent-encoded except for the characters
// that a query holds literally and filters are written with ("'(),:").
std::string queryString(std::span<const QueryItem> items);
// Form encoding (application/x-www-form-urlencoded): spaces become "+".
std::string formEncode(std::string_view text);
// Nothing when a "%" is not followed by two hex digits.
std::optional<std::string> percentDecode(std::string_view text);

} // namespace platform
