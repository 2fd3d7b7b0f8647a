#pragma once

#include "platform/Image.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velorin {

// Pictures of the Pictures folder decoded for the screen, stood upright by their EXIF
// orientation and scaled down as they are decoded where the format allows. `photoId` is the
// picture's path, relative to the folder or absolute within it. Nothing for an id that
// leaves the folder, a missing or unreadable file, or one larger than the decoders take.
// Any thread; they read the disk.

// The square thumbnail for a photo pin: the picture scaled to cover `sidePixels` on both
// axes, its middle cut out.
std::optional<platform::Image> photoThumbnail(
    const std::filesystem::path& pictures, const std::string& photoId, int sidePixels);

// A picture decoded to fit a box: its pixels, and the size it has at that scale before
// rounding to whole pixels (a 3000 × 4000 photo fitted in 170 × 170 is 127.5 × 170).
struct FittedPhoto {
    platform::Image image;
    double width = 0;
    double height = 0;
};

// The whole picture scaled down (never up) to fit `widthPixels` × `heightPixels`, keeping
// its proportions.
std::optional<FittedPhoto> photoFitting(
    const std::filesystem::path& pictures, const std::string& photoId, int widthPixels, int heightPixels);

} // namespace velorin
