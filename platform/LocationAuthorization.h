#pragma once

namespace platform {

// Whether the application may read the device's position. A plain value; any thread.
enum class LocationAuthorization {
    notDetermined,
    restricted,
    denied,
    authorizedWhenInUse,
    authorizedAlways,
};

} // namespace platform
