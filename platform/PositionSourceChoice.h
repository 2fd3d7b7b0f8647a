#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// Where the walker's position comes from: automatic (gpsd on this machine, else what the
// desktop offers), a gpsd daemon, or an NMEA receiver, stream or log. Written as the
// preference and the launch option hold it: "auto", "gpsd", "gpsd:HOST:PORT",
// "nmea:PATH". A plain value; any thread.
struct PositionSourceChoice {
    enum class Kind { automatic, gpsd, nmea };
    // What an NMEA path names.
    enum class NmeaKind { serialDevice, tcpStream, file };

    static constexpr const char* kDefaultGpsdHost = "localhost";
    static constexpr int kDefaultGpsdPort = 2947;

    Kind kind = Kind::automatic;
    // For gpsd.
    std::string host = kDefaultGpsdHost;
    int port = kDefaultGpsdPort;
    // For NMEA: "/dev/ttyACM0", "host:port" or a file.
    std::string path;

    static PositionSourceChoice gpsd(std::string host = kDefaultGpsdHost, int port = kDefaultGpsdPort);
    static PositionSourceChoice nmea(std::string path);

    // None for a text that names no source, an empty host or path, or a port outside 1…65535.
    static std::optional<PositionSourceChoice> parse(std::string_view text);
    // The text `parse` reads back; gpsd on its default host and port is plain "gpsd".
    std::string text() const;

    // "/dev/…" is a serial device, "host:port" (no slash, a whole port) a TCP stream, anything
    // else a file.
    static NmeaKind nmeaKind(std::string_view path);
    // The host and port of a TCP stream path; none for another kind.
    static std::optional<std::pair<std::string, int>> tcpAddress(std::string_view path);

    bool operator==(const PositionSourceChoice&) const = default;
};

} // namespace platform
