#include "platform/qt/QtLocationSource.h"

#include <QGeoCoordinate>
#include <QNmeaPositionInfoSource>

#include <cmath>
#include <limits>
#include <utility>

namespace platform {

namespace {

double attribute(const QGeoPositionInfo& info, QGeoPositionInfo::Attribute which)
{
    if (!info.hasAttribute(which))
        return -1;
    const double value = info.attribute(which);
    return std::isfinite(value) && value >= 0 ? value : -1;
}

} // namespace

QtLocationSource::QtLocationSource()
    : QtLocationSource(std::unique_ptr<QGeoPositionInfoSource>(QGeoPositionInfoSource::createDefaultSource(nullptr)))
{
}

QtLocationSource::QtLocationSource(std::unique_ptr<QGeoPositionInfoSource> source, std::string name)
    : source_(std::move(source))
    , name_(std::move(name))
    , authorization_(source_ ? LocationAuthorization::authorizedWhenInUse : LocationAuthorization::restricted)
{
    if (!source_)
        return;
    source_->setPreferredPositioningMethods(QGeoPositionInfoSource::AllPositioningMethods);
    // Without a range error an NMEA receiver's fixes carry no accuracy, and a recording
    // would keep none of them.
    if (auto* nmea = qobject_cast<QNmeaPositionInfoSource*>(source_.get()); nmea && std::isnan(nmea->userEquivalentRangeError()))
        nmea->setUserEquivalentRangeError(kNmeaRangeErrorMeters);
    updates_ = QObject::connect(source_.get(), &QGeoPositionInfoSource::positionUpdated,
        [this](const QGeoPositionInfo& info) { positionUpdated(info); });
    errors_ = QObject::connect(source_.get(), &QGeoPositionInfoSource::errorOccurred,
        [this](QGeoPositionInfoSource::Error error) { errorOccurred(error); });
}

QtLocationSource::~QtLocationSource()
{
    QObject::disconnect(updates_);
    QObject::disconnect(errors_);
}

std::string QtLocationSource::name() const
{
    if (!name_.empty())
        return name_;
    return source_ ? "QtPositioning (" + source_->sourceName().toStdString() + ")" : "aucune source de position";
}

void QtLocationSource::requestWhenInUseAuthorization()
{
    // Nothing to ask on the desktop: the source either exists or it does not.
}

void QtLocationSource::startUpdatingLocation()
{
    if (!source_ || isUpdating_)
        return;
    isUpdating_ = true;
    source_->startUpdates();
}

void QtLocationSource::requestLocation()
{
    if (!source_)
        return;
    delivered_.expectRequested();
    source_->requestUpdate();
}

std::optional<LocationFix> QtLocationSource::lastKnownLocation() const
{
    if (!source_)
        return std::nullopt;
    auto fix = fixFor(source_->lastKnownPosition());
    // The source's own memory may lag behind what it has delivered.
    const auto& delivered = delivered_.last();
    if (delivered && (!fix || fix->timestamp < delivered->timestamp))
        return delivered;
    return fix;
}

void QtLocationSource::setDistanceFilter(double meters)
{
    delivered_.setDistanceFilter(meters);
}

bool QtLocationSource::headingAvailable() const
{
    return false;
}

void QtLocationSource::setHeadingFilter(double) { }

void QtLocationSource::setHeadingOrientation(DeviceOrientation) { }

void QtLocationSource::startUpdatingHeading() { }

void QtLocationSource::stopUpdatingHeading() { }

std::optional<LocationFix> QtLocationSource::fixFor(const QGeoPositionInfo& info)
{
    const QGeoCoordinate coordinate = info.coordinate();
    if (!info.isValid() || !coordinate.isValid())
        return std::nullopt;
    LocationFix fix;
    fix.latitude = coordinate.latitude();
    fix.longitude = coordinate.longitude();
    fix.horizontalAccuracy = attribute(info, QGeoPositionInfo::HorizontalAccuracy);
    // A 2D fix may still carry the vertical accuracy of an earlier one; it has no altitude.
    if (coordinate.type() == QGeoCoordinate::Coordinate3D && std::isfinite(coordinate.altitude())) {
        fix.altitude = coordinate.altitude();
        fix.verticalAccuracy = attribute(info, QGeoPositionInfo::VerticalAccuracy);
    } else {
        fix.altitude = std::numeric_limits<double>::quiet_NaN();
    }
    fix.speed = attribute(info, QGeoPositionInfo::GroundSpeed);
    fix.course = attribute(info, QGeoPositionInfo::Direction);
    fix.timestamp = info.timestamp().toMSecsSinceEpoch() / 1000.0;
    return fix;
}

LocationError QtLocationSource::errorFor(QGeoPositionInfoSource::Error error)
{
    switch (error) {
    case QGeoPositionInfoSource::AccessError:
        return { LocationError::Code::denied, "l'accès à la position a été refusé" };
    case QGeoPositionInfoSource::UpdateTimeoutError:
        return { LocationError::Code::locationUnknown, "aucune position reçue à temps" };
    case QGeoPositionInfoSource::ClosedError:
        return { LocationError::Code::other, "la source de position s'est fermée" };
    case QGeoPositionInfoSource::UnknownSourceError:
    case QGeoPositionInfoSource::NoError:
        break;
    }
    return { LocationError::Code::other, "erreur inconnue de la source de position" };
}

void QtLocationSource::positionUpdated(const QGeoPositionInfo& info)
{
    auto fix = fixFor(info);
    if (!fix)
        return;
    if (!delivered_.admit(*fix))
        return;
    if (onLocations)
        onLocations({ *fix });
}

void QtLocationSource::errorOccurred(QGeoPositionInfoSource::Error error)
{
    if (error == QGeoPositionInfoSource::NoError)
        return;
    delivered_.cancelRequest();
    if (error == QGeoPositionInfoSource::AccessError && authorization_ != LocationAuthorization::denied) {
        authorization_ = LocationAuthorization::denied;
        if (onAuthorizationChange)
            onAuthorizationChange();
    }
    if (onFailure)
        onFailure(errorFor(error));
}

} // namespace platform
