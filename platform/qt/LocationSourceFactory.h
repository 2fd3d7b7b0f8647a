#pragma once

#include "platform/LocationSource.h"
#include "platform/MainQueue.h"
#include "platform/PositionSourceChoice.h"

#include <memory>
#include <string>

namespace platform {

// Builds the location source the walker chose: gpsd, an NMEA receiver, stream or log, or
// the automatic choice. Main thread only, inside a running Qt application.
class LocationSourceFactory {
public:
    // The speed a serial receiver is read at when it does not set its own (USB ones ignore it).
    static constexpr int kSerialBaudRate = 9600;

    static std::unique_ptr<LocationSource> make(const PositionSourceChoice& choice, std::shared_ptr<MainQueue> mainQueue);
    // A serial device, a "host:port" TCP stream, or a log replayed at the pace of its own
    // clock, each fix good to twice its HDOP times the assumed range error of
    // `QtLocationSource`. A device or log that cannot be opened gives a source without a
    // receiver.
    static std::unique_ptr<LocationSource> nmea(const std::string& path);
};

} // namespace platform
