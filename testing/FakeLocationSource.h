#pragma once

#include "platform/LocationSource.h"

#include <memory>
#include <optional>
#include <vector>

namespace testing_support {

// A location source that records what its owner asked of it and reports what the test
// tells it, as the device would. The test keeps a `Control` to drive the source after
// handing it to its owner. Main thread only.
class FakeLocationSource final : public platform::LocationSource {
public:
    class Control {
    public:
        // As on a machine where the user was never asked.
        platform::LocationAuthorization authorization = platform::LocationAuthorization::notDetermined;
        std::optional<platform::LocationFix> lastKnown;
        bool headingAvailable = true;

        int authorizationRequests = 0;
        int locationStarts = 0;
        int locationRequests = 0;
        int headingStarts = 0;
        int headingStops = 0;
        bool isUpdatingHeading = false;
        double distanceFilter = 0;
        std::optional<double> headingFilter;
        std::optional<platform::DeviceOrientation> headingOrientation;

        // Each does nothing once the source is gone.
        void changeAuthorization(platform::LocationAuthorization status)
        {
            authorization = status;
            if (source_ && source_->onAuthorizationChange)
                source_->onAuthorizationChange();
        }
        void deliver(const std::vector<platform::LocationFix>& fixes)
        {
            if (!fixes.empty())
                lastKnown = fixes.back();
            if (source_ && source_->onLocations)
                source_->onLocations(fixes);
        }
        void deliverHeading(const platform::HeadingReading& reading)
        {
            if (source_ && source_->onHeading)
                source_->onHeading(reading);
        }
        void fail(const platform::LocationError& error)
        {
            if (source_ && source_->onFailure)
                source_->onFailure(error);
        }

    private:
        friend class FakeLocationSource;
        FakeLocationSource* source_ = nullptr;
    };

    FakeLocationSource()
        : control_(std::make_shared<Control>())
    {
        control_->source_ = this;
    }
    ~FakeLocationSource() override { control_->source_ = nullptr; }

    std::string name() const override { return "appareil de test"; }
    platform::LocationAuthorization authorization() const override { return control_->authorization; }
    void requestWhenInUseAuthorization() override { ++control_->authorizationRequests; }
    void startUpdatingLocation() override { ++control_->locationStarts; }
    void requestLocation() override { ++control_->locationRequests; }
    std::optional<platform::LocationFix> lastKnownLocation() const override { return control_->lastKnown; }
    void setDistanceFilter(double meters) override { control_->distanceFilter = meters; }
    bool headingAvailable() const override { return control_->headingAvailable; }
    void setHeadingFilter(double degrees) override { control_->headingFilter = degrees; }
    void setHeadingOrientation(platform::DeviceOrientation orientation) override { control_->headingOrientation = orientation; }
    void startUpdatingHeading() override
    {
        ++control_->headingStarts;
        control_->isUpdatingHeading = true;
    }
    void stopUpdatingHeading() override
    {
        ++control_->headingStops;
        control_->isUpdatingHeading = false;
    }

    const std::shared_ptr<Control>& control() const { return control_; }

private:
    std::shared_ptr<Control> control_;
};

} // namespace testing_support
