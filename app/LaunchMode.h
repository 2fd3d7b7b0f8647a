#pragma once

#include <string>
#include <vector>

namespace velorin {

// How the program runs. With a display it opens the map window, and a "-startAt …
// -snapshotTo" run writes the view that window shows, at its pixel size. Without one it
// can only draw a snapshot off screen, and refuses anything else. Any thread.
enum class LaunchMode { window, offscreenSnapshot, refused };

LaunchMode launchMode(const std::vector<std::string>& arguments, bool hasDisplay);

} // namespace velorin
