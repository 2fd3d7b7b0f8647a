#pragma once

#include "app/MainTimer.h"
#include "platform/Clock.h"
#include "platform/LocationSource.h"
#include "platform/MainQueue.h"
#include "recordings/RecordingLocation.h"

#include <functional>
#include <memory>
#include <optional>

namespace velorin {

// The application's one view of the device position: it asks for permission, starts
// location updates, keeps the latest fix, heading and permission, refreshes the fix every
// five minutes with a one-shot request, and hands each fix, heading and permission change
// to one listener per kind. Like a device's location manager it reports the permission it
// starts with, from the main queue once its listeners are set. Main thread only; the
// listeners are called after the value they report has been stored. While a track is
// recorded the fixes come farther apart; the source stays started whether the window shows
// or not.
class LocationService final : public RecordingLocation {
public:
    static constexpr double kRefreshIntervalSeconds = 300.0;
    static constexpr double kDistanceFilterMeters = 5.0;
    static constexpr double kRecordingDistanceFilterMeters = 10.0;

    // Where the window stands, for compass headings; empty or none counts as upright.
    using InterfaceOrientation = std::function<std::optional<platform::DeviceOrientation>()>;

    LocationService(std::unique_ptr<platform::LocationSource> source,
        std::shared_ptr<platform::Clock> clock,
        std::shared_ptr<platform::MainQueue> mainQueue,
        InterfaceOrientation interfaceOrientation = {});
    ~LocationService() override;

    LocationService(const LocationService&) = delete;
    LocationService& operator=(const LocationService&) = delete;

    const std::optional<platform::LocationFix>& location() const { return location_; }
    platform::LocationAuthorization authorization() const { return authorization_; }
    bool isLocating() const { return isLocating_; }
    // Degrees; the latest usable heading.
    const std::optional<double>& heading() const { return heading_; }
    void clearHeading() { heading_.reset(); }
    bool isAuthorized() const;

    // Marks location as wanted. When authorized, starts updates and the refresh loop; when
    // permission is undecided, asks for it (updates start once it is granted).
    void start();
    // Turns compass headings to match the window's orientation.
    void updateHeadingOrientation();

    // Metres; the recorder widens it while a track is recorded.
    double activeDistanceFilter() const { return activeDistanceFilter_; }
    void setDistanceFilter(double meters);

    // The recorder's: the recording or idle distance filter, and `start`.
    void applyRecordingSettings(bool recording) override;
    void startLocating() override { start(); }

    // The device source, for what the model drives itself: permission requests and
    // compass updates.
    platform::LocationSource& source() { return *source_; }
    const platform::LocationSource& source() const { return *source_; }
    // Takes positions from `source` from now on, with the permission it reports; updates go
    // on when they were started. The last fix stays until the new source gives one.
    void replaceSource(std::unique_ptr<platform::LocationSource> source);
    // What the source last reported standing in the way; none since its last fix.
    const std::optional<platform::LocationError>& lastFailure() const { return lastFailure_; }

    std::function<void(double degrees)> onHeading;
    std::function<void(platform::LocationAuthorization)> onAuthorizationChange;
    std::function<void(const platform::LocationFix&)> onUpdate;
    std::function<void(const platform::LocationError&)> onFailure;

    // The orientation compass headings are turned to for a window standing this way.
    static platform::DeviceOrientation headingOrientation(std::optional<platform::DeviceOrientation> interfaceOrientation);

private:
    void startUpdates();
    void scheduleRefresh();
    void refresh();
    void publish(const platform::LocationFix& fix);
    void authorizationDidChange();
    void locationsDidUpdate(const std::vector<platform::LocationFix>& fixes);
    void headingDidUpdate(const platform::HeadingReading& reading);
    void didFail(const platform::LocationError& error);
    void attach(platform::LocationSource& source);
    void detach(platform::LocationSource& source);

    std::optional<platform::LocationFix> location_;
    platform::LocationAuthorization authorization_;
    bool isLocating_ = false;
    std::optional<double> heading_;
    std::optional<platform::LocationError> lastFailure_;
    std::unique_ptr<platform::LocationSource> source_;
    std::shared_ptr<platform::MainQueue> mainQueue_;
    const InterfaceOrientation interfaceOrientation_;
    // The refresh loop: one pending pass at most; restarting it drops the pending one.
    MainTimer refreshTimer_;
    double activeDistanceFilter_ = kDistanceFilterMeters;
    // What the blocks posted to the main queue hold, weakly, to reach the service.
    std::shared_ptr<LocationService*> lifetime_ = std::make_shared<LocationService*>(this);
};

} // namespace velorin
