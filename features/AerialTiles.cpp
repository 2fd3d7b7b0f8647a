#include "features/AerialTiles.h"

#include "map-data/Basemap.h"
#include "map-data/TileKey.h"
#include "map-data/TileSources.h"

namespace velorin {

namespace {

std::optional<platform::Image> decoded(std::span<const std::byte> bytes)
{
    platform::ImageDecodeOptions options;
    options.maxPixels = AerialTiles::kMaxPhotoPixels;
    return platform::decodeImage(bytes, options);
}

} // namespace

std::vector<AerialTiles::Tile> AerialTiles::orthophotoTiles(const ServiceHosts& hosts, int z, std::int64_t x,
    std::int64_t y)
{
    std::vector<Tile> tiles;
    if (z > kLevel || z < 0)
        return tiles;
    const int shift = kLevel - z;
    const std::int64_t count = std::int64_t(1) << shift;
    const Basemap photo = Basemap::orthophoto;
    for (std::int64_t r = 0; r < count; ++r) {
        for (std::int64_t c = 0; c < count; ++c) {
            const std::int64_t column = (x << shift) + c;
            const std::int64_t row = (y << shift) + r;
            tiles.push_back({column, row, TileKey::webTile(photo.index(), kLevel, column, row).relativePath({}).value_or(""),
                basemapTileURL(hosts, photo, kLevel, column, row).value_or("")});
        }
    }
    return tiles;
}

std::vector<platform::Image> AerialTiles::collect(const std::vector<Tile>& tiles, DiskStore& store, BlockingFetch& fetch)
{
    std::vector<platform::Image> images;
    for (const Tile& tile : tiles) {
        std::optional<platform::Image> image;
        if (auto file = store.read(tile.mapKey); file && file->size() > 0)
            image = decoded(file->bytes());
        if (!image) {
            auto body = fetch.get(tile.url);
            if (!body)
                return images;
            image = decoded(*body);
            // Only a photo that decodes is kept: the map would refuse a broken one.
            if (image)
                store.write(std::move(*body), tile.mapKey);
        }
        if (!image)
            return images;
        images.push_back(std::move(*image));
    }
    return images;
}

} // namespace velorin
