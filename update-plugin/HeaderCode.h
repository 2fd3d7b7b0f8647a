#pragma once

#include <string>
#include <string_view>

namespace korrelvane {

// A header value from any UTF-8 text: letters, marks and digits of every script pass as they
// are, with "@", ".", "-" and "_"; every other character becomes the %XX (upper-case) of its
// UTF-8 bytes. "" for text that is not valid UTF-8. Any thread.
std::string code(std::string_view text);

} // namespace korrelvane
