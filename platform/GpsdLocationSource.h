#pragma once

#include "platform/DeliveredFixes.h"
#include "platform/LocationSource.h"
#include "platform/MainQueue.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct gps_data_t;

namespace platform {

// The device position as gpsd, the daemon that shares the machine's GPS receivers, reports
// it. A reader thread watches the daemon through libgps, comes back with a growing pause
// when it is gone, and posts every fix and every change of what stands in the way (no
// daemon, no receiver, no fix) to the main queue. gpsd asks no permission: the source is
// always authorized and has no compass. Made, driven and destroyed on the main thread;
// the reader thread touches only its own connection.
class GpsdLocationSource final : public LocationSource {
public:
    // A fix that names no error of its own is taken as good to this many metres.
    static constexpr double kDefaultAccuracyMeters = 5.0;
    // How long one wait for the daemon's next message lasts, so that a stop is noticed.
    static constexpr int kReadWaitMicroseconds = 200'000;
    // The pause before trying the daemon again, doubled after each failure up to the longest.
    static constexpr double kFirstRetrySeconds = 0.5;
    static constexpr double kLongestRetrySeconds = 8.0;

    GpsdLocationSource(std::string host, int port, std::shared_ptr<MainQueue> mainQueue);
    ~GpsdLocationSource() override;

    GpsdLocationSource(const GpsdLocationSource&) = delete;
    GpsdLocationSource& operator=(const GpsdLocationSource&) = delete;

    std::string name() const override;
    LocationAuthorization authorization() const override { return LocationAuthorization::authorizedWhenInUse; }
    void requestWhenInUseAuthorization() override { }
    // Starts the reader thread; later calls change nothing.
    void startUpdatingLocation() override;
    void requestLocation() override;
    std::optional<LocationFix> lastKnownLocation() const override { return delivered_.last(); }
    void setDistanceFilter(double meters) override { delivered_.setDistanceFilter(meters); }
    bool headingAvailable() const override { return false; }
    void setHeadingFilter(double) override { }
    void setHeadingOrientation(DeviceOrientation) override { }
    void startUpdatingHeading() override { }
    void stopUpdatingHeading() override { }

    // The fix a gpsd report stands for: none without a 2D or 3D position. Any thread.
    static std::optional<LocationFix> fixFor(const gps_data_t& data);

private:
    // What the reader last saw, as the main thread hears it.
    enum class Reading { fix, noFix, noReceiver, unreachable };

    // How one connection ended: never made, lost, or closed to be made again at once.
    enum class Watch { unreachable, ended, renewed };

    void read();
    // One connection, from open to close.
    Watch watch(gps_data_t& data);
    // Sleeps on the reader thread; true when the source is stopping.
    bool pause(double seconds);
    void post(Reading reading, std::optional<LocationFix> fix = std::nullopt);
    void didRead(Reading reading, const std::optional<LocationFix>& fix);

    const std::string host_;
    const int port_;
    const std::shared_ptr<MainQueue> mainQueue_;
    // Main thread only.
    DeliveredFixes delivered_;
    std::optional<Reading> reported_;
    // Reader thread only.
    std::optional<Reading> posted_;
    double postedTimestamp_ = 0;
    int postedMode_ = 0;
    std::atomic<bool> stopping_ = false;
    std::mutex pauseMutex_;
    std::condition_variable pauseEnded_;
    std::thread reader_;
    // What the blocks posted to the main queue hold, weakly, to reach the source.
    std::shared_ptr<GpsdLocationSource*> lifetime_ = std::make_shared<GpsdLocationSource*>(this);
};

} // namespace platform
