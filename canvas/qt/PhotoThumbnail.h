#pragma once

#include "platform/Image.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velorin {

// The square thumbnail of a picture of the Pictures folder for a photo pin: the picture
// scaled to cover `sidePixels` on both axes (scaled down as it is decoded where the format
// allows), its middle cut out. `photoId` is the picture's path, relative to the folder or
// absolute within it. Nothing for an id that leaves the folder, a missing or
// unreadable file, or one larger than the decoders take. Any thread; reads the disk.
std::optional<platform::Image> photoThumbnail(
    const std::filesystem::path& pictures, const std::string& photoId, int sidePixels);

} // namespace velorin
