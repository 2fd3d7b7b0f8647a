#include "platform/GpsdLocationSource.h"

#include "platform/ThreadName.h"

#include <gps.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// Longer than any line gpsd sends, sky views with every satellite included.
constexpr std::size_t kMessageBytes = 16 * 1024;

bool isKnown(double value)
{
    return std::isfinite(value) && value >= 0;
}

} // namespace

GpsdLocationSource::GpsdLocationSource(std::string host, int port, std::shared_ptr<MainQueue> mainQueue)
    : host_(std::move(host))
    , port_(port)
    , mainQueue_(std::move(mainQueue))
{
}

GpsdLocationSource::~GpsdLocationSource()
{
    {
        std::lock_guard lock(pauseMutex_);
        stopping_ = true;
    }
    pauseEnded_.notify_all();
    if (reader_.joinable())
        reader_.join();
}

std::string GpsdLocationSource::name() const
{
    return "gpsd (" + host_ + ":" + std::to_string(port_) + ")";
}

void GpsdLocationSource::startUpdatingLocation()
{
    if (reader_.joinable())
        return;
    reader_ = std::thread([this] { read(); });
}

void GpsdLocationSource::requestLocation()
{
    // gpsd reports every fix by itself: the next one answers.
    delivered_.expectRequested();
    startUpdatingLocation();
}

std::optional<LocationFix> GpsdLocationSource::fixFor(const gps_data_t& data)
{
    const gps_fix_t& report = data.fix;
    if (report.mode < MODE_2D || !std::isfinite(report.latitude) || !std::isfinite(report.longitude))
        return std::nullopt;
    LocationFix fix;
    fix.latitude = report.latitude;
    fix.longitude = report.longitude;
    // gpsd's own horizontal estimate, else its errors along each axis.
    if (isKnown(report.eph))
        fix.horizontalAccuracy = report.eph;
    else if (isKnown(report.epx) && isKnown(report.epy))
        fix.horizontalAccuracy = std::hypot(report.epx, report.epy);
    else
        fix.horizontalAccuracy = kDefaultAccuracyMeters;
    // Walkers read heights above the sea; a receiver that gives only the ellipsoid's is
    // still better than none.
    const double altitude = std::isfinite(report.altMSL) ? report.altMSL : report.altHAE;
    if (report.mode >= MODE_3D && std::isfinite(altitude)) {
        fix.altitude = altitude;
        fix.verticalAccuracy = isKnown(report.epv) ? report.epv : kDefaultAccuracyMeters;
    } else {
        fix.altitude = std::numeric_limits<double>::quiet_NaN();
    }
    fix.speed = isKnown(report.speed) ? report.speed : -1;
    fix.course = isKnown(report.track) ? report.track : -1;
    if (report.time.tv_sec > 0) {
        fix.timestamp = double(report.time.tv_sec) + double(report.time.tv_nsec) / 1e9;
    } else {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        fix.timestamp = std::chrono::duration<double>(now).count();
    }
    return fix;
}

void GpsdLocationSource::read()
{
    setCurrentThreadName("gpsd");
    double retrySeconds = kFirstRetrySeconds;
    while (!stopping_) {
        // Too large for comfort on a thread's stack.
        auto data = std::make_unique<gps_data_t>();
        const Watch watched = watch(*data);
        if (stopping_)
            return;
        if (watched == Watch::renewed)
            continue;
        if (watched == Watch::ended)
            retrySeconds = kFirstRetrySeconds;
        post(Reading::unreachable);
        if (pause(retrySeconds))
            return;
        retrySeconds = std::min(retrySeconds * 2, kLongestRetrySeconds);
    }
}

GpsdLocationSource::Watch GpsdLocationSource::watch(gps_data_t& data)
{
    if (gps_open(host_.c_str(), std::to_string(port_).c_str(), &data) != 0)
        return Watch::unreachable;
    gps_stream(&data, WATCH_ENABLE | WATCH_JSON, nullptr);
    std::vector<char> message(kMessageBytes);
    while (!stopping_) {
        if (!gps_waiting(&data, kReadWaitMicroseconds))
            continue;
        if (gps_read(&data, message.data(), int(message.size())) < 0)
            break;
        const std::string_view line(message.data());
        if (line.starts_with(R"({"class":"TPV")")) {
            auto fix = fixFor(data);
            if (!fix) {
                post(Reading::noFix);
            } else if (fix->timestamp != postedTimestamp_ || data.fix.mode > postedMode_) {
                // gpsd reports each sentence of a receiver's first cycle: only one that
                // adds to the fix of the same moment is news.
                postedTimestamp_ = fix->timestamp;
                postedMode_ = data.fix.mode;
                post(Reading::fix, fix);
            }
        } else if (line.starts_with(R"({"class":"DEVICES")")) {
            post(data.devices.ndevices > 0 ? Reading::noFix : Reading::noReceiver);
        } else if (line.starts_with(R"({"class":"DEVICE")")) {
            // A receiver plugged in, or one that went away.
            const bool active = data.dev.activated.tv_sec > 0 || data.dev.activated.tv_nsec > 0;
            if (active && posted_ == Reading::noReceiver) {
                // gpsd streams to a client only the receivers it had when the client came:
                // come again.
                gps_close(&data);
                return Watch::renewed;
            }
            if (!active) {
                post(Reading::noReceiver);
            }
        }
    }
    gps_close(&data);
    return Watch::ended;
}

bool GpsdLocationSource::pause(double seconds)
{
    std::unique_lock lock(pauseMutex_);
    return pauseEnded_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return stopping_.load(); });
}

void GpsdLocationSource::post(Reading reading, std::optional<LocationFix> fix)
{
    // Only a change of what stands in the way is news; every fix is.
    if (reading != Reading::fix && posted_ == reading)
        return;
    posted_ = reading;
    mainQueue_->post([weak = std::weak_ptr(lifetime_), reading, fix] {
        if (auto source = weak.lock())
            (*source)->didRead(reading, fix);
    });
}

void GpsdLocationSource::didRead(Reading reading, const std::optional<LocationFix>& fix)
{
    if (reading == Reading::fix) {
        reported_ = reading;
        if (fix && delivered_.admit(*fix) && onLocations)
            onLocations({ *fix });
        return;
    }
    if (reported_ == reading)
        return;
    reported_ = reading;
    if (!onFailure)
        return;
    switch (reading) {
    case Reading::noFix:
        onFailure({ LocationError::Code::locationUnknown, "le récepteur de gpsd n'a pas de position" });
        break;
    case Reading::noReceiver:
        onFailure({ LocationError::Code::noReceiver, "gpsd n'a aucun récepteur GPS" });
        break;
    case Reading::unreachable:
        onFailure({ LocationError::Code::serviceUnavailable, "gpsd ne répond pas sur " + host_ + ":" + std::to_string(port_) });
        break;
    case Reading::fix:
        break;
    }
}

} // namespace platform
