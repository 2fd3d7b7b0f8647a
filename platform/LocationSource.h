#pragma once

#include "platform/DeviceOrientation.h"
#include "platform/HeadingReading.h"
#include "platform/LocationAuthorization.h"
#include "platform/LocationError.h"
#include "platform/LocationFix.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The device's positioning: permission, continuous and one-shot fixes, and compass headings.
// Main thread only: the source is made, driven and destroyed there, and calls its handlers
// there, never from inside one of its own operations.
class LocationSource {
public:
    virtual ~LocationSource() = default;

    // Where the positions come from, for the walker to read: "gpsd (localhost:2947)".
    virtual std::string name() const = 0;

    virtual LocationAuthorization authorization() const = 0;
    // Asks for permission while the application is in use; the answer comes through
    // `onAuthorizationChange`. Does nothing once permission is decided.
    virtual void requestWhenInUseAuthorization() = 0;

    // Fixes that moved at least the distance filter from the last one delivered come
    // through `onLocations`.
    virtual void startUpdatingLocation() = 0;
    // One fix, as soon as one can be had, through `onLocations` (or a failure).
    virtual void requestLocation() = 0;
    // The most recent fix the source knows of.
    virtual std::optional<LocationFix> lastKnownLocation() const = 0;
    // Metres; zero delivers every fix.
    virtual void setDistanceFilter(double meters) = 0;

    // Whether the device has a compass at all.
    virtual bool headingAvailable() const = 0;
    // Degrees of change between delivered headings.
    virtual void setHeadingFilter(double degrees) = 0;
    virtual void setHeadingOrientation(DeviceOrientation orientation) = 0;
    virtual void startUpdatingHeading() = 0;
    virtual void stopUpdatingHeading() = 0;

    // Set by the one owner of the source before it starts anything.
    std::function<void()> onAuthorizationChange;
    // Oldest first; never empty.
    std::function<void(const std::vector<LocationFix>&)> onLocations;
    std::function<void(const HeadingReading&)> onHeading;
    std::function<void(const LocationError&)> onFailure;
};

} // namespace platform
