#include "recordings/PhotoExif.h"

// The library's headers and results still use std::auto_ptr; they are kept to this file.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace velorin {

namespace {

void prepareLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Broken files are expected in a photo folder; the library's own log would only
        // repeat what the empty result says.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

std::optional<std::string> text(const Exiv2::ExifData& exif, const char* key)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found == exif.end())
        return std::nullopt;
    std::string value = found->toString();
    while (!value.empty() && (value.back() == '\0' || value.back() == ' '))
        value.pop_back();
    return value;
}

// Degrees from three rationals (degrees, minutes, seconds), signed by the reference letter.
std::optional<double> coordinate(const Exiv2::ExifData& exif, const char* key, const char* referenceKey,
    char negative, char positive, double limit)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    const auto reference = text(exif, referenceKey);
    if (found == exif.end() || found->count() != 3 || !reference || reference->size() != 1)
        return std::nullopt;
    double value = 0;
    double unit = 1;
    for (long i = 0; i < 3; ++i, unit *= 60) {
        const Exiv2::Rational part = found->toRational(i);
        if (part.second == 0)
            return std::nullopt;
        value += double(part.first) / part.second / unit;
    }
    const char letter = (*reference)[0];
    if (letter != negative && letter != positive)
        return std::nullopt;
    if (letter == negative)
        value = -value;
    if (!std::isfinite(value) || std::abs(value) > limit)
        return std::nullopt;
    return value;
}

std::optional<PhotoExif::Location> gpsLocation(const Exiv2::ExifData& exif)
{
    if (text(exif, "Exif.GPSInfo.GPSStatus") == "V")
        return std::nullopt;
    const auto latitude = coordinate(exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", 'S', 'N', 90);
    const auto longitude = coordinate(exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", 'W', 'E', 180);
    if (!latitude || !longitude)
        return std::nullopt;
    PhotoExif::Location location { *latitude, *longitude, 0 };
    const auto error = exif.findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSHPositioningError"));
    if (error != exif.end() && error->count() == 1) {
        const Exiv2::Rational value = error->toRational(0);
        if (value.second == 0)
            return std::nullopt;
        location.accuracy = double(value.first) / value.second;
        if (!std::isfinite(location.accuracy))
            return std::nullopt;
    }
    return location;
}

} // namespace

std::optional<platform::SystemTime> PhotoExif::parseDate(const std::string& text, const std::string& offset)
{
    std::tm fields {};
    char end = 0;
    if (std::sscanf(text.c_str(), "%4d:%2d:%2d %2d:%2d:%2d%c", &fields.tm_year, &fields.tm_mon, &fields.tm_mday,
            &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &end)
        != 6)
        return std::nullopt;
    if (fields.tm_year < 1800 || fields.tm_mon < 1 || fields.tm_mon > 12 || fields.tm_mday < 1 || fields.tm_mday > 31
        || fields.tm_hour > 23 || fields.tm_min > 59 || fields.tm_sec > 60 || fields.tm_hour < 0 || fields.tm_min < 0
        || fields.tm_sec < 0)
        return std::nullopt;
    fields.tm_year -= 1900;
    fields.tm_mon -= 1;
    std::time_t seconds;
    int sign = 0, hours = 0, minutes = 0;
    char signCharacter = 0;
    if (std::sscanf(offset.c_str(), "%c%2d:%2d%c", &signCharacter, &hours, &minutes, &end) == 3
        && (signCharacter == '+' || signCharacter == '-') && hours <= 14 && hours >= 0 && minutes >= 0 && minutes < 60) {
        sign = signCharacter == '+' ? 1 : -1;
        seconds = ::timegm(&fields) - sign * (hours * 3600 + minutes * 60);
    } else {
        fields.tm_isdst = -1;
        seconds = std::mktime(&fields);
    }
    if (seconds == std::time_t(-1))
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds);
}

int PhotoExif::orientation(std::span<const std::byte> bytes)
{
    prepareLibrary();
    if (bytes.empty())
        return 1;
    try {
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()), long(bytes.size()));
        if (!image.get())
            return 1;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found == exif.end() || found->count() < 1)
            return 1;
        const long value = found->toLong(0);
        return value >= 1 && value <= 8 ? int(value) : 1;
    } catch (const std::exception&) {
        return 1;
    }
}

std::optional<PhotoExif> PhotoExif::read(const std::filesystem::path& file)
{
    prepareLibrary();
    try {
        auto image = Exiv2::ImageFactory::open(file.string());
        if (!image.get())
            return std::nullopt;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        std::optional<platform::SystemTime> date;
        if (auto original = text(exif, "Exif.Photo.DateTimeOriginal"))
            date = parseDate(*original, text(exif, "Exif.Photo.OffsetTimeOriginal").value_or(""));
        else if (auto digitized = text(exif, "Exif.Photo.DateTimeDigitized"))
            date = parseDate(*digitized, text(exif, "Exif.Photo.OffsetTimeDigitized").value_or(""));
        if (!date)
            return std::nullopt;
        return PhotoExif { *date, gpsLocation(exif) };
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace velorin
