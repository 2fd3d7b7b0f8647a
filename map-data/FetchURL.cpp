#include "map-data/FetchURL.h"

#include "map-data/MediaURLs.h"
#include "map-data/TileSources.h"

#include <fmt/format.h>

namespace velorin {

namespace {

std::optional<std::string> pyramidURL(const ServiceHosts& hosts, int64_t z, int64_t x, int64_t y)
{
    return mediaURL(hosts, fmt::format("tiles/{}/{}/{}.jpg", z, x, y));
}

const Sheet* sheetAt(const SheetCatalog& catalog, int64_t position)
{
    const auto& sheets = catalog.sheets();
    if (position < 0 || position >= int64_t(sheets.size()))
        return nullptr;
    return &sheets[std::size_t(position)];
}

} // namespace

std::optional<std::string> fetchURL(const TileKey& key, const SheetCatalog& catalog, const ServiceHosts& hosts,
    const RelayMapping& relayed)
{
    if (auto pyramid = std::get_if<TileKey::Pyramid>(&key.value))
        return pyramidURL(hosts, pyramid->z, pyramid->x, pyramid->y);
    if (auto thumbnail = std::get_if<TileKey::Thumbnail>(&key.value)) {
        auto sheet = sheetAt(catalog, thumbnail->sheet);
        return sheet ? thumbnailMediaURL(hosts, *sheet, thumbnail->size) : std::nullopt;
    }
    if (auto subtile = std::get_if<TileKey::Subtile>(&key.value)) {
        auto sheet = sheetAt(catalog, subtile->sheet);
        return sheet ? sheetMediaURL(hosts, *sheet) : std::nullopt;
    }
    const auto& web = std::get<TileKey::WebTile>(key.value);
    auto basemap = Basemap::fromIndex(web.source);
    if (!basemap)
        return std::nullopt;
    auto upstream = basemapTileURL(hosts, *basemap, web.z, web.x, web.y);
    if (!upstream)
        return pyramidURL(hosts, web.z, web.x, web.y);
    return relayed ? relayed(*upstream) : *upstream;
}

} // namespace velorin
