#include "platform/qt/AutomaticLocationSource.h"

#include <utility>

namespace platform {

AutomaticLocationSource::AutomaticLocationSource(std::unique_ptr<LocationSource> gpsd, Fallback fallback,
    std::shared_ptr<MainQueue> mainQueue)
    : current_(std::move(gpsd))
    , fallback_(std::move(fallback))
    , mainQueue_(std::move(mainQueue))
{
    attach(*current_);
    current_->onFailure = [this](const LocationError& error) { gpsdFailed(error); };
}

AutomaticLocationSource::~AutomaticLocationSource()
{
    current_->onAuthorizationChange = nullptr;
    current_->onLocations = nullptr;
    current_->onHeading = nullptr;
    current_->onFailure = nullptr;
}

void AutomaticLocationSource::attach(LocationSource& source)
{
    // The inner source lives no longer than this one and calls back on this thread.
    source.onAuthorizationChange = [this] {
        if (onAuthorizationChange)
            onAuthorizationChange();
    };
    source.onLocations = [this](const std::vector<LocationFix>& fixes) {
        hasFix_ = true;
        if (onLocations)
            onLocations(fixes);
    };
    source.onHeading = [this](const HeadingReading& reading) {
        if (onHeading)
            onHeading(reading);
    };
    source.onFailure = [this](const LocationError& error) {
        if (onFailure)
            onFailure(error);
    };
}

void AutomaticLocationSource::startUpdatingLocation()
{
    isUpdating_ = true;
    current_->startUpdatingLocation();
}

void AutomaticLocationSource::setDistanceFilter(double meters)
{
    distanceFilterMeters_ = meters;
    current_->setDistanceFilter(meters);
}

void AutomaticLocationSource::gpsdFailed(const LocationError& error)
{
    auto fallback = error.code == LocationError::Code::serviceUnavailable && !hasFix_ && fallback_ ? fallback_() : nullptr;
    fallback_ = nullptr;
    if (!fallback || fallback->authorization() == LocationAuthorization::restricted) {
        // gpsd it stays: it comes back by itself, and its failures are the walker's news.
        attach(*current_);
        if (onFailure)
            onFailure(error);
        return;
    }
    // The gpsd source is dropped on a later turn: this call comes from inside it.
    std::shared_ptr<LocationSource> gpsd(std::move(current_));
    gpsd->onAuthorizationChange = nullptr;
    gpsd->onLocations = nullptr;
    gpsd->onFailure = nullptr;
    current_ = std::move(fallback);
    attach(*current_);
    current_->setDistanceFilter(distanceFilterMeters_);
    if (isUpdating_)
        current_->startUpdatingLocation();
    if (onAuthorizationChange)
        onAuthorizationChange();
    mainQueue_->post([gpsd] { });
}

} // namespace platform
