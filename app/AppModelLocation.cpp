// The model's side of the device position: following the walker, the compass, the altitude
// readout and the map controls that hide when left alone.

#include "app/AppModel.h"

#include "platform/LaunchArguments.h"
#include "platform/Log.h"

#include <QPointer>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace velorin {

namespace {

using platform::LocationAuthorization;

std::optional<WorldPoint> worldPoint(const platform::LocationFix& fix)
{
    if (!std::isfinite(fix.latitude) || !std::isfinite(fix.longitude))
        return std::nullopt;
    return WorldPoint::fromLatitudeLongitude(fix.latitude, fix.longitude);
}

} // namespace

platform::PositionSourceChoice AppModel::positionSourceChoice(std::span<const std::string> arguments,
    const platform::UserDefaults& defaults)
{
    for (const auto& text : { platform::launchArgumentValue("-position", arguments), defaults.string(kPositionSourceKey) }) {
        if (!text)
            continue;
        if (auto choice = platform::PositionSourceChoice::parse(*text))
            return *choice;
        platform::Log::error(platform::logcat::location, "source de position inconnue : {}", *text);
    }
    return {};
}

void AppModel::selectPositionSource(const platform::PositionSourceChoice& choice)
{
    defaults_->setString(kPositionSourceKey, choice.text());
    if (choice == positionSource_)
        return;
    positionSource_ = choice;
    if (makeLocationSource_) {
        location_->replaceSource(makeLocationSource_(choice));
        isPositionOverdue_ = false;
        armPositionWait(true);
    }
    emit changed();
}

std::optional<PositionProblem> AppModel::positionProblem() const
{
    if (!isFollowingUser_)
        return std::nullopt;
    const auto authorization = location_->authorization();
    if (authorization == LocationAuthorization::restricted)
        return PositionProblem::noReceiver;
    if (!isPositionOverdue_)
        return std::nullopt;
    const auto& failure = location_->lastFailure();
    if (failure && failure->code == platform::LocationError::Code::noReceiver)
        return PositionProblem::noReceiver;
    if (failure && failure->code == platform::LocationError::Code::serviceUnavailable)
        return PositionProblem::serviceNotRunning;
    return PositionProblem::noFixYet;
}

void AppModel::armPositionWait(bool restart)
{
    if (positionWait_.isPending() && !restart)
        return;
    QPointer<AppModel> weak(this);
    positionWait_.start(kPositionWaitSeconds, [weak] {
        if (!weak)
            return;
        weak->isPositionOverdue_ = true;
        emit weak->changed();
    });
}

void AppModel::locationDidFail()
{
    // The reason shown may have changed.
    if (positionProblem())
        emit changed();
}

void AppModel::locateUser()
{
    armPositionWait(false);
    if (location_->isAuthorized()) {
        publish(isFollowingUser_, true);
        location_->start();
        auto canvas = canvas_.lock();
        const auto& fix = location_->location();
        if (!canvas || !fix)
            return;
        if (auto point = worldPoint(*fix))
            canvas->animateCamera(*point, std::max(kFollowZoom, zoom_), true);
        return;
    }
    if (location_->authorization() == LocationAuthorization::notDetermined)
        location_->source().requestWhenInUseAuthorization();
    publish(isFollowingUser_, true);
    location_->start();
}

void AppModel::toggleCompassFollowing()
{
    if (!isCompassFollowing_ && std::abs(bearing_) > kNorthUpToleranceRadians) {
        // North up first; a later press, once the map points north, starts following.
        if (auto canvas = canvas_.lock()) {
            if (canvas->isFlying())
                canvas->endFlight();
            canvas->clearCompassFollowing();
            canvas->setTargetBearing(0);
            canvas->startDisplayLink();
        }
        return;
    }
    // Without a compass there is no heading to follow: north up is all the press does.
    if (!isCompassFollowing_ && !location_->source().headingAvailable())
        return;
    publish(isCompassFollowing_, !isCompassFollowing_);
    if (auto canvas = canvas_.lock())
        canvas->setCompassFollowing(isCompassFollowing_);
    auto& source = location_->source();
    if (isCompassFollowing_) {
        if (location_->authorization() == LocationAuthorization::notDetermined)
            source.requestWhenInUseAuthorization();
        if (source.headingAvailable()) {
            location_->updateHeadingOrientation();
            source.setHeadingFilter(kCompassHeadingFilterDegrees);
            source.startUpdatingHeading();
        }
    } else {
        source.stopUpdatingHeading();
        location_->clearHeading();
    }
}

void AppModel::stopCompassFollowing()
{
    publish(isCompassFollowing_, false);
    location_->source().stopUpdatingHeading();
    location_->clearHeading();
}

void AppModel::revealControls()
{
    publish(areControlsVisible_, true);
    QPointer<AppModel> weak(this);
    controlsHide_.start(kControlsHideDelaySeconds, [weak] {
        if (weak)
            weak->publish(weak->areControlsVisible_, false);
    });
}

void AppModel::locationDidUpdate(const platform::LocationFix& fix)
{
    if (std::exchange(isPositionOverdue_, false))
        emit changed();
    armPositionWait(true);
    auto canvas = canvas_.lock();
    if (canvas)
        canvas->setUserLocation(fix);
    // A fix without a vertical accuracy carries no altitude worth showing (2D fixes give NaN).
    if (fix.verticalAccuracy >= 0 && std::isfinite(fix.altitude))
        publish(altitudeState_, AltitudeState::value(fix.altitude));
    else
        publish(altitudeState_, AltitudeState::unavailable());
    // Every fix feeds the motion reading, whose report follows from the main queue; a kept
    // point carries the mode known now.
    motionSource_->addFix(fix);
    tracks_->record(fix, motion_->mode());
    if (!canvas || canvas->handleInitialLocation(fix))
        return;
    if (!isFollowingUser_)
        return;
    if (auto point = worldPoint(fix))
        canvas->animateCamera(*point, std::max(kFollowZoom, zoom_), true);
}

void AppModel::authorizationDidChange(LocationAuthorization authorization)
{
    switch (authorization) {
    case LocationAuthorization::restricted:
    case LocationAuthorization::denied:
        publish(altitudeState_, AltitudeState::denied());
        break;
    case LocationAuthorization::notDetermined:
        publish(altitudeState_, AltitudeState::searching());
        break;
    case LocationAuthorization::authorizedWhenInUse:
    case LocationAuthorization::authorizedAlways:
        if (altitudeState_.kind == AltitudeState::Kind::denied)
            publish(altitudeState_, AltitudeState::searching());
        break;
    }
}

void AppModel::headingDidChange(double degrees)
{
    auto canvas = canvas_.lock();
    if (!canvas)
        return;
    const double radians = degrees * std::numbers::pi / 180.0;
    canvas->setLatestHeading(radians);
    if (canvas->isCompassFollowing()) {
        canvas->setTargetBearing(radians);
        canvas->startDisplayLink();
    }
}

} // namespace velorin
