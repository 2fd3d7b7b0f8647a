#include "canvas/KeyModifiers.h"

namespace velorin {

KeyModifiers KeyModifiers::operator|(const KeyModifiers& other) const
{
    return {control || other.control, option || other.option, shift || other.shift, command || other.command};
}

std::string modifierSymbols(const KeyModifiers& modifiers)
{
    std::string symbols;
    if (modifiers.control)
        symbols += "⌃";
    if (modifiers.option)
        symbols += "⌥";
    if (modifiers.shift)
        symbols += "⇧";
    if (modifiers.command)
        symbols += "⌘";
    return symbols;
}

} // namespace velorin
