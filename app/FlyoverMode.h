#pragma once

namespace velorin {

// How the camera of a track flyover follows the path: close behind the walker, or high
// above like a drone. Its case name is what the preference stores.
enum class FlyoverMode { follow, drone };

} // namespace velorin
