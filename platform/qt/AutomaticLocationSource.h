#pragma once

#include "platform/LocationSource.h"
#include "platform/MainQueue.h"

#include <functional>
#include <memory>

namespace platform {

// The position when the walker chose none: gpsd on this machine first, and what the desktop
// offers (QtPositioning) once gpsd proves unreachable before it gave any fix. A machine with
// neither stays on gpsd, which keeps trying. Main thread only, like the sources it holds.
class AutomaticLocationSource final : public LocationSource {
public:
    using Fallback = std::function<std::unique_ptr<LocationSource>()>;

    AutomaticLocationSource(std::unique_ptr<LocationSource> gpsd, Fallback fallback, std::shared_ptr<MainQueue> mainQueue);
    ~AutomaticLocationSource() override;

    std::string name() const override { return current_->name(); }
    LocationAuthorization authorization() const override { return current_->authorization(); }
    void requestWhenInUseAuthorization() override { current_->requestWhenInUseAuthorization(); }
    void startUpdatingLocation() override;
    void requestLocation() override { current_->requestLocation(); }
    std::optional<LocationFix> lastKnownLocation() const override { return current_->lastKnownLocation(); }
    void setDistanceFilter(double meters) override;
    bool headingAvailable() const override { return current_->headingAvailable(); }
    void setHeadingFilter(double degrees) override { current_->setHeadingFilter(degrees); }
    void setHeadingOrientation(DeviceOrientation orientation) override { current_->setHeadingOrientation(orientation); }
    void startUpdatingHeading() override { current_->startUpdatingHeading(); }
    void stopUpdatingHeading() override { current_->stopUpdatingHeading(); }

private:
    void attach(LocationSource& source);
    void gpsdFailed(const LocationError& error);

    std::unique_ptr<LocationSource> current_;
    Fallback fallback_;
    std::shared_ptr<MainQueue> mainQueue_;
    bool hasFix_ = false;
    bool isUpdating_ = false;
    double distanceFilterMeters_ = 0;
};

} // namespace platform
