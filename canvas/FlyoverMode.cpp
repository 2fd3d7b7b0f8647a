#include "canvas/FlyoverMode.h"

namespace velorin {

std::string_view rawValue(FlyoverMode mode)
{
    return mode == FlyoverMode::drone ? "drone" : "follow";
}

std::optional<FlyoverMode> flyoverModeFromRawValue(std::string_view text)
{
    for (FlyoverMode mode : {FlyoverMode::follow, FlyoverMode::drone}) {
        if (rawValue(mode) == text)
            return mode;
    }
    return std::nullopt;
}

} // namespace velorin
