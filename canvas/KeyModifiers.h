#pragma once

#include <string>

namespace velorin {

// The modifier keys held with a key press, a click or a gesture, and their symbols as
// the journal and the key help write them. A plain value; any thread.
struct KeyModifiers {
    bool control = false;
    bool option = false;
    bool shift = false;
    bool command = false;

    KeyModifiers operator|(const KeyModifiers& other) const;
    bool operator==(const KeyModifiers&) const = default;
};

// Control "⌃", Option "⌥", Shift "⇧", Command "⌘", in that order, without separators;
// "" when none is held.
std::string modifierSymbols(const KeyModifiers& modifiers);

} // namespace velorin
