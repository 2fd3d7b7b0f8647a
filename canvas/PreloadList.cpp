#include "canvas/PreloadList.h"

#include "map-data/TerrainService.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <variant>

namespace velorin {

namespace {

std::array<std::int64_t, 5> orderOf(const TileKey& key)
{
    const auto kind = std::int64_t(key.value.index());
    return std::visit(
        [kind](const auto& fields) -> std::array<std::int64_t, 5> {
            using Fields = std::decay_t<decltype(fields)>;
            if constexpr (std::is_same_v<Fields, TileKey::Pyramid>)
                return {kind, 0, fields.z, fields.x, fields.y};
            else if constexpr (std::is_same_v<Fields, TileKey::Thumbnail>)
                return {kind, fields.sheet, fields.size, 0, 0};
            else if constexpr (std::is_same_v<Fields, TileKey::Subtile>)
                return {kind, fields.sheet, fields.column, fields.row, 0};
            else
                return {kind, fields.source, fields.z, fields.x, fields.y};
        },
        key.value);
}

} // namespace

void PreloadList::add(const VisibleTiles& visible)
{
    std::vector<TileKey> keys(visible.tiles.begin(), visible.tiles.end());
    // A set's order changes from run to run; the list's must not.
    std::sort(keys.begin(), keys.end(), [](const TileKey& a, const TileKey& b) { return orderOf(a) < orderOf(b); });
    for (TileKey& key : keys) {
        if (seen_.insert(key).second)
            tiles_.push_back(std::move(key));
    }
    grids_.insert(visible.terrain.begin(), visible.terrain.end());
}

std::vector<FileBatchDownload::Item> PreloadList::elevationDownloads(const ServiceHosts& hosts) const
{
    std::vector<TerrainKey> sorted(grids_.begin(), grids_.end());
    std::sort(sorted.begin(), sorted.end(),
        [](const TerrainKey& a, const TerrainKey& b) { return std::tie(a.z, a.x, a.y) < std::tie(b.z, b.x, b.y); });
    std::vector<FileBatchDownload::Item> items;
    items.reserve(sorted.size());
    for (const TerrainKey& key : sorted) {
        const bool ign = TerrainService::usesIGN(key.z, key.x, key.y);
        items.push_back({ign ? TerrainService::diskKey(key.z, key.x, key.y)
                             : TerrainService::terrariumDiskKey(key.z, key.x, key.y),
            ign ? TerrainService::ignElevationURL(hosts, key) : TerrainService::terrariumURL(hosts, key)});
    }
    return items;
}

} // namespace velorin
