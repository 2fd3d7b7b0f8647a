#include "app/LaunchMode.h"

#include "app/HeadlessRun.h"

namespace velorin {

LaunchMode launchMode(const std::vector<std::string>& arguments, bool hasDisplay)
{
    if (hasDisplay)
        return LaunchMode::window;
    return HeadlessRun::isRequested(arguments) ? LaunchMode::offscreenRun : LaunchMode::refused;
}

} // namespace velorin
