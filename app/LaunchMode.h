#pragma once

#include <string>
#include <vector>

namespace velorin {

// How the program runs. With a display it opens the map window, and a "-startAt …
// -snapshotTo" run writes the view that window shows, at its pixel size, while "-filmTo"
// films its flights. Without one it can only run an automation off screen (a snapshot or
// a film), and refuses anything else. Any thread.
enum class LaunchMode { window, offscreenRun, refused };

LaunchMode launchMode(const std::vector<std::string>& arguments, bool hasDisplay);

} // namespace velorin
