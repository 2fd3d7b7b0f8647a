#include "canvas/MotionKeyName.h"

#include <array>
#include <cctype>

namespace velorin {

std::optional<std::string> motionKeyName(ArrowKey arrow, std::string_view characters)
{
    switch (arrow) {
    case ArrowKey::left:
        return "left";
    case ArrowKey::right:
        return "right";
    case ArrowKey::up:
        return "up";
    case ArrowKey::down:
        return "down";
    case ArrowKey::none:
        break;
    }
    if (characters.size() != 1)
        return std::nullopt;
    const char letter = char(std::tolower(static_cast<unsigned char>(characters.front())));
    constexpr std::array<char, 4> kLetters {'z', 'q', 's', 'd'};
    for (const char motion : kLetters) {
        if (letter == motion)
            return std::string(1, letter);
    }
    return std::nullopt;
}

} // namespace velorin
