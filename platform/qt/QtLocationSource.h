#pragma once

#include "platform/LocationSource.h"

#include <QGeoPositionInfo>
#include <QGeoPositionInfoSource>
#include <QMetaObject>

#include <memory>
#include <optional>

namespace platform {

// The device position through QtPositioning: whatever source it finds on the system
// (GeoClue2, gpsd) or one handed in, such as an NMEA log replayed in tests. The desktop
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
    // Takes `source`; none means the machine cannot locate itself.
    explicit QtLocationSource(std::unique_ptr<QGeoPositionInfoSource> source);
    ~QtLocationSource() override;

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
    LocationAuthorization authorization_;
    double distanceFilterMeters_ = 0;
    bool isUpdating_ = false;
    // A one-shot request delivers its fix whatever the distance filter says.
    bool isRequestPending_ = false;
    std::optional<LocationFix> lastDelivered_;
    QMetaObject::Connection updates_;
    QMetaObject::Connection errors_;
};

} // namespace platform
