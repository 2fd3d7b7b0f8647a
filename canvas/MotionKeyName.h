#pragma once

// The name of a key that moves the map when held ("left", "right", "up", "down", "z",
// "q", "s", "d"), from what the window system says of the key. Pure; any thread.

#include <optional>
#include <string>
#include <string_view>

namespace velorin {

enum class ArrowKey { none, left, right, up, down };

// An arrow names itself; any other key counts by its characters ignoring modifiers,
// lower-cased, when they are one of the four letters; every other key has no name.
std::optional<std::string> motionKeyName(ArrowKey arrow, std::string_view characters);

} // namespace velorin
