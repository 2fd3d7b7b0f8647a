#include "canvas/qt/PhotoThumbnail.h"

#include "platform/ImageOrientation.h"
#include "platform/ImageResampler.h"
#include "platform/MappedFile.h"
#include "recordings/PhotoExif.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velorin {

namespace {

// The id as a path inside the folder: relative to it, or absolute within it, without "." or
// ".." or empty parts either way.
std::optional<std::filesystem::path> insideFolder(const std::filesystem::path& folder, const std::string& id)
{
    if (id.empty())
        return std::nullopt;
    std::filesystem::path relative(id);
    if (relative.is_absolute()) {
        const std::filesystem::path within = relative.lexically_relative(folder.lexically_normal());
        if (within.empty() || *within.begin() == "..")
            return std::nullopt;
        relative = within;
    } else if (relative.has_root_name()) {
        return std::nullopt;
    }
    for (const auto& part : relative) {
        if (part.empty() || part == "." || part == "..")
            return std::nullopt;
    }
    return folder / relative;
}

platform::Image middleSquare(const platform::Image& image)
{
    const int side = std::min(image.width, image.height);
    const int left = (image.width - side) / 2;
    const int top = (image.height - side) / 2;
    platform::Image square {side, side, std::vector<std::byte>(std::size_t(side) * std::size_t(side) * 4)};
    for (int row = 0; row < side; ++row) {
        std::memcpy(square.pixels.data() + std::size_t(row) * std::size_t(side) * 4,
            image.pixels.data() + (std::size_t(top + row) * std::size_t(image.width) + std::size_t(left)) * 4,
            std::size_t(side) * 4);
    }
    return square;
}

// A picture's file mapped, with its size as it stands upright.
struct StoredPhoto {
    platform::MappedFile file;
    int orientation = 1;
    int uprightWidth = 0;
    int uprightHeight = 0;
};

std::optional<StoredPhoto> openPhoto(const std::filesystem::path& pictures, const std::string& photoId)
{
    const auto path = insideFolder(pictures, photoId);
    if (!path)
        return std::nullopt;
    auto file = platform::MappedFile::open(*path);
    if (!file)
        return std::nullopt;
    const auto info = platform::probeImage(file->bytes());
    if (!info || info->width < 1 || info->height < 1)
        return std::nullopt;
    const int orientation = PhotoExif::orientation(file->bytes());
    const bool swaps = platform::orientationSwapsAxes(orientation);
    return StoredPhoto { std::move(*file), orientation, swaps ? info->height : info->width,
        swaps ? info->width : info->height };
}

std::optional<platform::Image> decodeUpright(const StoredPhoto& photo, int maxDimension)
{
    platform::ImageDecodeOptions options;
    options.maxDimension = maxDimension;
    auto decoded = platform::decodeImage(photo.file.bytes(), options);
    if (!decoded || decoded->width < 1 || decoded->height < 1)
        return std::nullopt;
    return platform::uprightImage(std::move(*decoded), photo.orientation);
}

} // namespace

std::optional<platform::Image> photoThumbnail(
    const std::filesystem::path& pictures, const std::string& photoId, int sidePixels)
{
    if (sidePixels < 1)
        return std::nullopt;
    const auto photo = openPhoto(pictures, photoId);
    if (!photo)
        return std::nullopt;
    // The shorter side covers the pin: the longer one is that many times longer.
    const double longer = std::max(photo->uprightWidth, photo->uprightHeight);
    const double shorter = std::min(photo->uprightWidth, photo->uprightHeight);
    const auto decoded = decodeUpright(*photo, int(std::ceil(sidePixels * longer / shorter)));
    if (!decoded)
        return std::nullopt;
    platform::Image square = middleSquare(*decoded);
    if (square.width > sidePixels)
        square = platform::downscale(square, sidePixels, sidePixels);
    return square;
}

std::optional<FittedPhoto> photoFitting(
    const std::filesystem::path& pictures, const std::string& photoId, int widthPixels, int heightPixels)
{
    if (widthPixels < 1 || heightPixels < 1)
        return std::nullopt;
    const auto photo = openPhoto(pictures, photoId);
    if (!photo)
        return std::nullopt;
    const double scale = std::min({ 1.0, double(widthPixels) / photo->uprightWidth,
        double(heightPixels) / photo->uprightHeight });
    const int longer = std::max(photo->uprightWidth, photo->uprightHeight);
    auto decoded = decodeUpright(*photo, std::max(1, int(std::lround(longer * scale))));
    if (!decoded)
        return std::nullopt;
    return FittedPhoto { std::move(*decoded), photo->uprightWidth * scale, photo->uprightHeight * scale };
}

} // namespace velorin
