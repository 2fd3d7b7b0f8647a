#include "map-data/AerialMosaic.h"

#include "map-data/AerialCoverage.h"
#include "map-data/TileSources.h"

#include <algorithm>

namespace velorin {

namespace {

// Deeper levels do not exist on any source; their addresses would overflow.
constexpr std::int64_t kDeepestLevel = 30;

bool isTileAddress(std::int64_t z, std::int64_t x, std::int64_t y)
{
    if (z < 0 || z > kDeepestLevel)
        return false;
    std::int64_t count = std::int64_t(1) << z;
    return x >= 0 && x < count && y >= 0 && y < count;
}

bool sameSize(const platform::Image& a, const platform::Image& b)
{
    return a.width == b.width && a.height == b.height;
}

} // namespace

AerialMosaic::AerialMosaic(ServiceHosts hosts, RelayMapping relayed, Fetch fetch)
    : hosts_(std::move(hosts))
    , relayed_(std::move(relayed))
    , fetch_(std::move(fetch))
{
}

std::optional<std::vector<std::byte>> AerialMosaic::fetchTile(Basemap basemap, std::int64_t z, std::int64_t x,
    std::int64_t y) const
{
    auto url = basemapTileURL(hosts_, basemap, z, x, y);
    if (!url)
        return std::nullopt;
    return fetch_(relayed_ ? relayed_(*url) : *url);
}

std::optional<platform::Image> AerialMosaic::orthophotoCrop(std::int64_t z, std::int64_t x, std::int64_t y,
    std::int64_t levelsUp, int width, int height) const
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    auto data = fetchTile(Basemap::orthophoto, z - levelsUp, x >> levelsUp, y >> levelsUp);
    if (!data)
        return std::nullopt;
    auto image = decodeRGBX(*data);
    if (!image)
        return std::nullopt;
    std::int64_t scale = std::int64_t(1) << levelsUp;
    std::int64_t cropWidth = image->width / scale;
    std::int64_t cropHeight = image->height / scale;
    if (cropWidth < 1 || cropHeight < 1)
        return std::nullopt;
    return drawScaled(*image, int((x % scale) * cropWidth), int((y % scale) * cropHeight), int(cropWidth),
        int(cropHeight), width, height);
}

std::optional<platform::Image> AerialMosaic::ancestorPhotoCrop(std::int64_t z, std::int64_t x, std::int64_t y,
    int width, int height) const
{
    if (z <= kAncestorLevel || !isTileAddress(z, x, y))
        return std::nullopt;
    auto crop = orthophotoCrop(z, x, y, z - kAncestorLevel, width, height);
    if (!crop || std::ranges::all_of(whiteMask(*crop), [](std::uint8_t white) { return white != 0; }))
        return std::nullopt;
    return crop;
}

std::optional<platform::Image> AerialMosaic::overzoomOrthophoto(std::int64_t z, std::int64_t x, std::int64_t y,
    int width, int height) const
{
    if (!isTileAddress(z, x, y))
        return std::nullopt;
    return orthophotoCrop(z, x, y, std::max<std::int64_t>(0, z - kFinestOrthophotoLevel), width, height);
}

std::optional<std::vector<std::byte>> AerialMosaic::fillFromNeighbours(std::span<const std::byte> data,
    std::int64_t z, std::int64_t x, std::int64_t y) const
{
    if (!isTileAddress(z, x, y))
        return std::nullopt;
    auto sources = coverageSources(z, x, y);
    if (z <= kAncestorLevel && sources.empty())
        return std::nullopt;
    auto tile = decodeRGBX(data);
    if (!tile)
        return std::nullopt;
    auto white = whiteMask(*tile);
    if (std::size_t(std::ranges::count(white, 1)) < kMinWhitePixels)
        return std::nullopt;
    auto fill = dilateMask(tile->width, tile->height, kFillMarginPixels, white);

    for (auto source : sources) {
        auto bytes = fetchTile(source, z, x, y);
        auto neighbour = bytes ? decodeRGBX(*bytes) : std::nullopt;
        if (!neighbour || !sameSize(*neighbour, *tile) || !isTexturedUnder(fill, *neighbour))
            continue;
        copyColours(*tile, *neighbour, fill);
        return encodeJPEG(*tile);
    }
    auto crop = ancestorPhotoCrop(z, x, y, tile->width, tile->height);
    if (!crop)
        return std::nullopt;
    copyColours(*tile, *crop, fill);
    return encodeJPEG(*tile);
}

std::optional<std::vector<std::byte>> AerialMosaic::substitutePhotoTile(std::int64_t z, std::int64_t x,
    std::int64_t y) const
{
    if (!isTileAddress(z, x, y))
        return std::nullopt;
    for (auto source : coverageSources(z, x, y)) {
        auto bytes = fetchTile(source, z, x, y);
        auto neighbour = bytes ? decodeRGBX(*bytes) : std::nullopt;
        if (!neighbour)
            continue;
        PixelMask everywhere(std::size_t(neighbour->width) * std::size_t(neighbour->height), 1);
        if (isTexturedUnder(everywhere, *neighbour))
            return bytes;
    }
    if (z - kAncestorLevel > kMaxSubstituteEnlargementLevels)
        return std::nullopt;
    auto crop = ancestorPhotoCrop(z, x, y, kSubstituteSidePixels, kSubstituteSidePixels);
    if (!crop)
        return std::nullopt;
    return encodeJPEG(*crop);
}

std::optional<std::vector<std::byte>> AerialMosaic::fillFlatAreas(std::span<const std::byte> data, std::int64_t z,
    std::int64_t x, std::int64_t y) const
{
    auto tile = decodeRGBX(data);
    if (!tile || !hasFlatBlock(*tile))
        return std::nullopt;
    auto orthophoto = overzoomOrthophoto(z, x, y, tile->width, tile->height);
    if (!orthophoto)
        return std::nullopt;
    copyColours(*tile, *orthophoto, whiteMask(*tile));
    return encodeJPEG(*tile);
}

} // namespace velorin
