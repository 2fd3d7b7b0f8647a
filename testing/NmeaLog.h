#pragma once

#include <fmt/format.h>

#include <cmath>
#include <string>
#include <vector>

namespace testing_support {

// A receiver's log of one outing, written sentence by sentence as a GPS receiver sends it:
// RMC (speed in knots), GGA (dilution and altitude) and GSA (2D or 3D) for each fix, from
// 12:00:00 UTC on 9 December 2026, going north from near Chamonix. Any thread.
struct NmeaFix {
    double seconds;
    double northMeters;
    double speedMetersPerSecond;
    double hdop = 1.0;
    bool threeDimensional = true;
};

inline constexpr double kNmeaStartLatitude = 45.92;
inline constexpr double kNmeaStartLongitude = 6.87;
inline constexpr double kNmeaStartAltitudeMeters = 1035;
inline constexpr double kNmeaMetersPerDegree = 111195.08;
inline constexpr double kNmeaLogStartUnixSeconds = 1796817600; // 2026-12-09T12:00:00Z

inline double nmeaLatitude(const NmeaFix& fix)
{
    return kNmeaStartLatitude + fix.northMeters / kNmeaMetersPerDegree;
}

// The altitude a 3D fix gives: it climbs one metre every 20 north.
inline double nmeaAltitude(const NmeaFix& fix)
{
    return kNmeaStartAltitudeMeters + fix.northMeters / 20;
}

inline std::string nmeaSentence(const std::string& body)
{
    unsigned char sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    return fmt::format("${}*{:02X}\r\n", body, sum);
}

inline std::string nmeaDegreesAndMinutes(double degrees, int degreeDigits)
{
    const int whole = static_cast<int>(degrees);
    return fmt::format("{:0{}d}{:07.4f}", whole, degreeDigits, (degrees - whole) * 60);
}

inline std::string nmeaSentences(const NmeaFix& fix)
{
    constexpr double kKnotsPerMeterPerSecond = 1.943844;
    const int whole = static_cast<int>(fix.seconds);
    const std::string time = fmt::format("{:02d}{:02d}{:02d}.{:02d}", 12 + whole / 3600, whole / 60 % 60, whole % 60,
        static_cast<int>(std::lround((fix.seconds - whole) * 100)));
    const std::string position = fmt::format("{},N,{},E", nmeaDegreesAndMinutes(nmeaLatitude(fix), 2),
        nmeaDegreesAndMinutes(kNmeaStartLongitude, 3));
    std::string text = nmeaSentence(fmt::format("GPRMC,{},A,{},{:.1f},0.0,091226,,,A", time, position,
        fix.speedMetersPerSecond * kKnotsPerMeterPerSecond));
    if (fix.threeDimensional) {
        text += nmeaSentence(fmt::format("GPGGA,{},{},1,08,{:.1f},{:.1f},M,50.0,M,,", time, position, fix.hdop, nmeaAltitude(fix)));
        text += nmeaSentence(fmt::format("GPGSA,A,3,01,02,03,04,05,06,07,08,,,,,{:.1f},{:.1f},1.5", fix.hdop * 2, fix.hdop));
    } else {
        text += nmeaSentence(fmt::format("GPGGA,{},{},1,04,{:.1f},,M,,M,,", time, position, fix.hdop));
        text += nmeaSentence(fmt::format("GPGSA,A,2,01,02,03,04,,,,,,,,,{:.1f},{:.1f},", fix.hdop * 2, fix.hdop));
    }
    return text;
}

inline std::string nmeaLog(const std::vector<NmeaFix>& fixes)
{
    std::string text;
    for (const NmeaFix& fix : fixes)
        text += nmeaSentences(fix);
    return text;
}

// A short walk: a fix every `stepSeconds`, 20 m further north each time, at 2 m/s.
inline std::vector<NmeaFix> nmeaWalk(int count, double stepSeconds = 10, int first = 0)
{
    std::vector<NmeaFix> walk;
    for (int i = first; i < first + count; ++i)
        walk.push_back({ stepSeconds * i, 20.0 * i, 2.0 });
    return walk;
}

} // namespace testing_support
