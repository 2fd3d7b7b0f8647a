#include "map-data/TileKey.h"

#include "map-data/Basemap.h"

#include <fmt/format.h>

namespace velorin {

namespace {

const Sheet* sheetAt(std::span<const Sheet> sheets, int64_t position)
{
    if (position < 0 || static_cast<uint64_t>(position) >= sheets.size())
        return nullptr;
    return &sheets[static_cast<std::size_t>(position)];
}

} // namespace

std::optional<std::string> TileKey::relativePath(std::span<const Sheet> sheets) const
{
    if (auto* key = std::get_if<Pyramid>(&value))
        return fmt::format("pyramid/{}/{}_{}.jpg", key->z, key->x, key->y);
    if (auto* key = std::get_if<Thumbnail>(&value)) {
        auto* sheet = sheetAt(sheets, key->sheet);
        if (!sheet)
            return std::nullopt;
        return fmt::format("thumb{}/{}.jpg", key->size, sheet->name);
    }
    if (auto* key = std::get_if<Subtile>(&value)) {
        auto* sheet = sheetAt(sheets, key->sheet);
        if (!sheet)
            return std::nullopt;
        return fmt::format("sub/{}/{}_{}.jpg", sheet->name, key->column, key->row);
    }
    const auto& key = std::get<WebTile>(value);
    auto basemap = Basemap::fromIndex(key.source);
    if (!basemap)
        return std::nullopt;
    // The extension names what the file holds: photographs arrive as JPEG, maps as PNG.
    return fmt::format("web/{}/{}/{}_{}.{}", basemap->rawValue(), key.z, key.x, key.y,
        basemap->isPhoto() ? "jpg" : "png");
}

} // namespace velorin
