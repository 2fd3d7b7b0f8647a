#pragma once

#include "platform/DeliveredFixes.h"
#include "platform/LocationSource.h"

#include <QGeoPositionInfo>
#include <QGeoPositionInfoSource>
#include <QMetaObject>

#include <memory>
#include <optional>
#include <string>

namespace platform {

// The device position through QtPositioning: whatever source it finds on the system
// (GeoClue2) or one handed in, such as an NMEA receiver, stream or log. The desktop
// asks no per-application permission: a source that exists is authorized until it reports
// refused access, and a machine without one is restricted. QtPositioning has no compass,
// so no heading is ever delivered. Main thread only, inside a running Qt application.
class QtLocationSource final : public LocationSource {
public:
    // The range error an NMEA receiver (gpsd, a serial GPS) is given when it names none, so
    // that its fixes carry an accuracy: HDOP times this many metres.
    static constexpr double kNmeaRangeErrorMeters = 5.0;

    // Takes the system's default positioning source.
    QtLocationSource();
    // Takes `source`, shown as `name` (its plug-in's name when empty); none means the
    // machine cannot locate itself.
    explicit QtLocationSource(std::unique_ptr<QGeoPositionInfoSource> source, std::string name = {});
    ~QtLocationSource() override;

    std::string name() const override;
    LocationAuthorization authorization() const override { return authorization_; }
    void requestWhenInUseAuthorization() override;
    void startUpdatingLocation() override;
    void requestLocation() override;
    std::optional<LocationFix> lastKnownLocation() const override;
    void setDistanceFilter(double meters) override;
    bool headingAvailable() const override;
    void setHeadingFilter(double degrees) override;
    void setHeadingOrientation(DeviceOrientation orientation) override;
    void startUpdatingHeading() override;
    void stopUpdatingHeading() override;

    // The fix a Qt position stands for; none when its coordinate is unusable.
    static std::optional<LocationFix> fixFor(const QGeoPositionInfo& info);
    static LocationError errorFor(QGeoPositionInfoSource::Error error);

private:
    void positionUpdated(const QGeoPositionInfo& info);
    void errorOccurred(QGeoPositionInfoSource::Error error);

    std::unique_ptr<QGeoPositionInfoSource> source_;
    std::string name_;
    LocationAuthorization authorization_;
    bool isUpdating_ = false;
    DeliveredFixes delivered_;
    QMetaObject::Connection updates_;
    QMetaObject::Connection errors_;
};

} // namespace platform
