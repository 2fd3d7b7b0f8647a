#include "platform/LaunchArguments.h"

#include <algorithm>

namespace platform {

std::optional<std::string> launchArgumentValue(std::string_view flag, std::span<const std::string> arguments)
{
    auto found = std::find(arguments.begin(), arguments.end(), flag);
    if (found == arguments.end() || std::next(found) == arguments.end())
        return std::nullopt;
    return *std::next(found);
}

} // namespace platform
