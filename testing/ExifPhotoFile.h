#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// A small JPEG written with the EXIF tags a photo library test needs; empty texts are
// left out. Rationals as EXIF writes them: "45/1 30/1 0/1".
struct ExifPhotoFile {
    std::string date = {}; // DateTimeOriginal, "2024:05:01 10:05:00"
    std::string offset = "+00:00";
    std::string latitude = {};
    std::string longitude = {};
    std::string latitudeRef = "N";
    std::string longitudeRef = "E";
    std::string accuracy = {}; // a signed rational, "-5/1"
    std::string status = {};
    std::string digitized = {}; // DateTimeDigitized, without an offset
    int orientation = 0; // Image.Orientation, 1…8; 0 leaves the tag out
    // The stored pixels: grey, with the top-left quarter red so that a reader can tell
    // which way up the picture was turned.
    int width = 8;
    int height = 8;

    // Creates the parent folders.
    void write(const std::filesystem::path& file) const;
};

// "2024:05:01 hh:mm:ss".
std::string exifTimeOnFirstOfMay2024(int hour, int minute, int second = 0);

} // namespace testing_support
