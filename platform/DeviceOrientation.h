#pragma once

namespace platform {

// How the device or the window is turned, as far as compass headings are concerned. A plain
// value; any thread.
enum class DeviceOrientation {
    portrait,
    portraitUpsideDown,
    landscapeLeft,
    landscapeRight,
};

} // namespace platform
