#include "recordings/TrackPause.h"

#include <fmt/format.h>

#include <cmath>

namespace velorin {

std::string TrackPause::label() const
{
    const auto seconds = std::llround(std::chrono::duration<double>(end - start).count());
    const auto minutes = (seconds % 3600) / 60;
    if (seconds < 3600)
        return fmt::format("{} min", minutes);
    return fmt::format("{} h {:02}", seconds / 3600, minutes);
}

} // namespace velorin
