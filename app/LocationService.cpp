#include "app/LocationService.h"

#include "platform/Log.h"

#include <cmath>
#include <utility>

namespace velorin {

using platform::LocationAuthorization;

LocationService::LocationService(std::unique_ptr<platform::LocationSource> source,
    std::shared_ptr<platform::Clock> clock,
    std::shared_ptr<platform::MainQueue> mainQueue,
    InterfaceOrientation interfaceOrientation)
    : authorization_(source->authorization())
    , source_(std::move(source))
    , mainQueue_(mainQueue)
    , interfaceOrientation_(std::move(interfaceOrientation))
    , refreshTimer_(std::move(clock), mainQueue)
{
    attach(*source_);
}

LocationService::~LocationService()
{
    detach(*source_);
}

void LocationService::attach(platform::LocationSource& source)
{
    // The source is owned here and calls back on this thread only, so `this` outlives it.
    source.onAuthorizationChange = [this] { authorizationDidChange(); };
    source.onLocations = [this](const std::vector<platform::LocationFix>& fixes) { locationsDidUpdate(fixes); };
    source.onHeading = [this](const platform::HeadingReading& reading) { headingDidUpdate(reading); };
    source.onFailure = [this](const platform::LocationError& error) { didFail(error); };
    source.setDistanceFilter(activeDistanceFilter_);
    // A machine without a position source starts refused, and its owner must hear so.
    mainQueue_->post([weak = std::weak_ptr(lifetime_)] {
        if (auto service = weak.lock())
            (*service)->authorizationDidChange();
    });
}

void LocationService::detach(platform::LocationSource& source)
{
    source.onAuthorizationChange = nullptr;
    source.onLocations = nullptr;
    source.onHeading = nullptr;
    source.onFailure = nullptr;
}

void LocationService::replaceSource(std::unique_ptr<platform::LocationSource> source)
{
    detach(*source_);
    source_ = std::move(source);
    lastFailure_.reset();
    attach(*source_);
}

bool LocationService::isAuthorized() const
{
    return authorization_ == LocationAuthorization::authorizedWhenInUse
        || authorization_ == LocationAuthorization::authorizedAlways;
}

void LocationService::start()
{
    isLocating_ = true;
    if (isAuthorized())
        startUpdates();
    else if (authorization_ == LocationAuthorization::notDetermined)
        source_->requestWhenInUseAuthorization();
}

void LocationService::startUpdates()
{
    source_->startUpdatingLocation();
    scheduleRefresh();
}

void LocationService::scheduleRefresh()
{
    refreshTimer_.start(kRefreshIntervalSeconds, [this] { refresh(); });
}

void LocationService::refresh()
{
    if (!isLocating_ || !isAuthorized())
        return;
    source_->requestLocation();
    // The source's last fix, unless a newer one has been published since it was taken.
    auto last = source_->lastKnownLocation();
    if (last && (!location_ || last->timestamp >= location_->timestamp))
        publish(*last);
    scheduleRefresh();
}

void LocationService::updateHeadingOrientation()
{
    auto orientation = interfaceOrientation_ ? interfaceOrientation_() : std::nullopt;
    source_->setHeadingOrientation(headingOrientation(orientation));
}

platform::DeviceOrientation LocationService::headingOrientation(std::optional<platform::DeviceOrientation> interfaceOrientation)
{
    using platform::DeviceOrientation;
    if (!interfaceOrientation)
        return DeviceOrientation::portrait;
    // A window turned one way has the device turned the other.
    switch (*interfaceOrientation) {
    case DeviceOrientation::portraitUpsideDown:
        return DeviceOrientation::portraitUpsideDown;
    case DeviceOrientation::landscapeLeft:
        return DeviceOrientation::landscapeRight;
    case DeviceOrientation::landscapeRight:
        return DeviceOrientation::landscapeLeft;
    case DeviceOrientation::portrait:
        break;
    }
    return DeviceOrientation::portrait;
}

void LocationService::setDistanceFilter(double meters)
{
    activeDistanceFilter_ = meters;
    source_->setDistanceFilter(meters);
}

void LocationService::applyRecordingSettings(bool recording)
{
    setDistanceFilter(recording ? kRecordingDistanceFilterMeters : kDistanceFilterMeters);
}

void LocationService::publish(const platform::LocationFix& fix)
{
    location_ = fix;
    lastFailure_.reset();
    if (onUpdate)
        onUpdate(fix);
}

void LocationService::authorizationDidChange()
{
    authorization_ = source_->authorization();
    if (onAuthorizationChange)
        onAuthorizationChange(source_->authorization());
    if (isAuthorized() && isLocating_)
        startUpdates();
}

void LocationService::locationsDidUpdate(const std::vector<platform::LocationFix>& fixes)
{
    if (fixes.empty())
        return;
    publish(fixes.back());
}

void LocationService::headingDidUpdate(const platform::HeadingReading& reading)
{
    if (!(reading.headingAccuracy >= 0))
        return;
    const double degrees = reading.trueHeading >= 0 ? reading.trueHeading : reading.magneticHeading;
    if (!std::isfinite(degrees))
        return;
    heading_ = degrees;
    if (onHeading)
        onHeading(degrees);
}

void LocationService::didFail(const platform::LocationError& error)
{
    platform::Log::error(platform::logcat::location, "échec de localisation : {}", error.description);
    if (error.code == platform::LocationError::Code::denied)
        isLocating_ = false;
    lastFailure_ = error;
    if (onFailure)
        onFailure(error);
}

} // namespace velorin
