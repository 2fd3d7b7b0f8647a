#include "platform/PositionSourceChoice.h"

#include <charconv>
#include <utility>

namespace platform {

namespace {

constexpr std::string_view kAutomaticText = "auto";
constexpr std::string_view kGpsdText = "gpsd";
constexpr std::string_view kNmeaPrefix = "nmea:";
constexpr int kLargestPort = 65535;

std::optional<int> port(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 || value > kLargestPort)
        return std::nullopt;
    return value;
}

// "HOST:PORT", split at the last colon so that a bracketed IPv6 address keeps its own.
std::optional<std::pair<std::string, int>> hostAndPort(std::string_view text)
{
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    auto number = port(text.substr(colon + 1));
    if (!number)
        return std::nullopt;
    return std::pair { std::string(text.substr(0, colon)), *number };
}

} // namespace

PositionSourceChoice PositionSourceChoice::gpsd(std::string host, int port)
{
    PositionSourceChoice choice;
    choice.kind = Kind::gpsd;
    choice.host = std::move(host);
    choice.port = port;
    return choice;
}

PositionSourceChoice PositionSourceChoice::nmea(std::string path)
{
    PositionSourceChoice choice;
    choice.kind = Kind::nmea;
    choice.path = std::move(path);
    return choice;
}

std::optional<PositionSourceChoice> PositionSourceChoice::parse(std::string_view text)
{
    if (text == kAutomaticText)
        return PositionSourceChoice {};
    if (text == kGpsdText)
        return gpsd();
    if (text.starts_with(kGpsdText) && text.size() > kGpsdText.size() && text[kGpsdText.size()] == ':') {
        auto address = hostAndPort(text.substr(kGpsdText.size() + 1));
        if (!address)
            return std::nullopt;
        return gpsd(std::move(address->first), address->second);
    }
    if (text.starts_with(kNmeaPrefix) && text.size() > kNmeaPrefix.size())
        return nmea(std::string(text.substr(kNmeaPrefix.size())));
    return std::nullopt;
}

std::string PositionSourceChoice::text() const
{
    switch (kind) {
    case Kind::automatic:
        break;
    case Kind::gpsd:
        if (host == kDefaultGpsdHost && port == kDefaultGpsdPort)
            return std::string(kGpsdText);
        return std::string(kGpsdText) + ":" + host + ":" + std::to_string(port);
    case Kind::nmea:
        return std::string(kNmeaPrefix) + path;
    }
    return std::string(kAutomaticText);
}

PositionSourceChoice::NmeaKind PositionSourceChoice::nmeaKind(std::string_view path)
{
    if (path.starts_with("/dev/"))
        return NmeaKind::serialDevice;
    return tcpAddress(path) ? NmeaKind::tcpStream : NmeaKind::file;
}

std::optional<std::pair<std::string, int>> PositionSourceChoice::tcpAddress(std::string_view path)
{
    if (path.find('/') != std::string_view::npos)
        return std::nullopt;
    return hostAndPort(path);
}

} // namespace platform
