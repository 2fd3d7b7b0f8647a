#include "app/LaunchMode.h"

#include "app/HeadlessSnapshot.h"

namespace velorin {

LaunchMode launchMode(const std::vector<std::string>& arguments, bool hasDisplay)
{
    if (hasDisplay)
        return LaunchMode::window;
    return HeadlessSnapshot::isRequested(arguments) ? LaunchMode::offscreenSnapshot : LaunchMode::refused;
}

} // namespace velorin
