#include "testing/ExifPhotoFile.h"

#include "platform/Image.h"

// The library's headers and results still use std::auto_ptr.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <fstream>
#include <string>
#include <stdexcept>

namespace testing_support {

void ExifPhotoFile::write(const std::filesystem::path& file) const
{
    std::filesystem::create_directories(file.parent_path());
    platform::Image pixels { width, height, std::vector<std::byte>(std::size_t(width) * std::size_t(height) * 4, std::byte { 0x60 }) };
    for (int y = 0; y < height / 2; ++y) {
        for (int x = 0; x < width / 2; ++x) {
            std::byte* pixel = pixels.pixels.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
            pixel[0] = std::byte { 0xff };
            pixel[1] = pixel[2] = std::byte { 0 };
        }
    }
    const auto jpeg = platform::encodeJpeg(pixels, 0.8);
    if (!jpeg)
        throw std::runtime_error("no JPEG");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(jpeg->data()), std::streamsize(jpeg->size()));
    auto image = Exiv2::ImageFactory::open(file.string());
    Exiv2::ExifData exif;
    auto set = [&](const char* key, const std::string& value, Exiv2::TypeId type) {
        if (value.empty())
            return;
        auto typed = Exiv2::Value::create(type);
        typed->read(value);
        exif.add(Exiv2::ExifKey(key), typed.get());
    };
    set("Exif.Photo.DateTimeOriginal", date, Exiv2::asciiString);
    set("Exif.Photo.OffsetTimeOriginal", date.empty() ? "" : offset, Exiv2::asciiString);
    set("Exif.Photo.DateTimeDigitized", digitized, Exiv2::asciiString);
    set("Exif.GPSInfo.GPSLatitudeRef", latitude.empty() ? "" : latitudeRef, Exiv2::asciiString);
    set("Exif.GPSInfo.GPSLatitude", latitude, Exiv2::unsignedRational);
    set("Exif.GPSInfo.GPSLongitudeRef", longitude.empty() ? "" : longitudeRef, Exiv2::asciiString);
    set("Exif.GPSInfo.GPSLongitude", longitude, Exiv2::unsignedRational);
    set("Exif.GPSInfo.GPSHPositioningError", accuracy, Exiv2::signedRational);
    set("Exif.GPSInfo.GPSStatus", status, Exiv2::asciiString);
    set("Exif.Image.Orientation", orientation == 0 ? "" : std::to_string(orientation), Exiv2::unsignedShort);
    image->setExifData(exif);
    image->writeMetadata();
}

std::string exifTimeOnFirstOfMay2024(int hour, int minute, int second)
{
    char text[32];
    std::snprintf(text, sizeof text, "2024:05:01 %02d:%02d:%02d", hour, minute, second);
    return text;
}

} // namespace testing_support
