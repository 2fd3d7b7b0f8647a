#pragma once

#include "platform/Iso8601.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>

namespace velorin {

// What the map needs of a photo's EXIF: when it was taken and, when its GPS tags are sound,
// where. Any thread; reading is thread-safe.
struct PhotoExif {
    struct Location {
        double latitude = 0;  // degrees
        double longitude = 0; // degrees
        // Metres (GPSHPositioningError); 0 when the photo does not say.
        double accuracy = 0;
        bool operator==(const Location&) const = default;
    };

    // DateTimeOriginal, else DateTimeDigitized, at its OffsetTime tag's offset, else in the
    // local time zone.
    platform::SystemTime date;
    // None without GPS tags, with zero denominators, values that are not finite or outside
    // the globe, or a GPSStatus of "V" (no fix).
    std::optional<Location> location;

    // Nothing for a file that is not a readable image or has no EXIF date. Never throws.
    static std::optional<PhotoExif> read(const std::filesystem::path& file);
    // "2024:05:01 10:05:00" with an optional offset ("+02:00"); local time without one.
    static std::optional<platform::SystemTime> parseDate(const std::string& text, const std::string& offset);
    // The EXIF orientation (1…8) of an image file's bytes: 1 when the tag is missing, out of
    // range or the bytes are no image the reader knows. Never throws.
    static int orientation(std::span<const std::byte> bytes);
};

} // namespace velorin
