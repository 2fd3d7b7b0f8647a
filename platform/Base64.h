#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Base64 text of bytes: the standard alphabet with padding, or the URL alphabet
// without padding (PKCE verifiers, tokens). Any thread.
std::string base64Encode(std::span<const std::byte> bytes);
std::string base64UrlEncode(std::span<const std::byte> bytes);
// Accepts either alphabet, with or without padding; nothing on any other character.
std::optional<std::vector<std::byte>> base64Decode(std::string_view text);

} // namespace platform
