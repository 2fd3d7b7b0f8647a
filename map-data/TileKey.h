#pragma once

#include "map-data/Hasher.h"
#include "map-data/Sheet.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>

namespace velorin {

// Names one tile texture wherever the map needs one: the renderer's wish list, the
// loader's queues, the texture cache and the disk store. A plain value; any thread.
struct TileKey {
    // A tile of the map-sheet pyramid (XYZ numbering).
    struct Pyramid {
        int64_t z = 0;
        int64_t x = 0;
        int64_t y = 0;
        bool operator==(const Pyramid&) const = default;
    };
    // The thumbnail of a sheet (by catalogue position) at a pixel size.
    struct Thumbnail {
        int64_t sheet = 0;
        int64_t size = 0;
        bool operator==(const Thumbnail&) const = default;
    };
    // One sub-tile of a sliced sheet.
    struct Subtile {
        int64_t sheet = 0;
        int64_t column = 0;
        int64_t row = 0;
        bool operator==(const Subtile&) const = default;
    };
    // A web map tile of the basemap whose index is `source`.
    struct WebTile {
        int64_t source = 0;
        int64_t z = 0;
        int64_t x = 0;
        int64_t y = 0;
        bool operator==(const WebTile&) const = default;
    };

    // The alternative's index is the key's case number.
    std::variant<Pyramid, Thumbnail, Subtile, WebTile> value;

    static TileKey pyramid(int64_t z, int64_t x, int64_t y) { return { Pyramid { z, x, y } }; }
    static TileKey thumbnail(int64_t sheet, int64_t size) { return { Thumbnail { sheet, size } }; }
    static TileKey subtile(int64_t sheet, int64_t column, int64_t row) { return { Subtile { sheet, column, row } }; }
    static TileKey webTile(int64_t source, int64_t z, int64_t x, int64_t y) { return { WebTile { source, z, x, y } }; }

    // The tile's file relative to a disk-store root ("pyramid/7/65_44.jpg",
    // "web/planIGN/12/2075_1409.png"), given the catalogue's sheets by position. Nothing
    // when the key names a sheet outside `sheets` or a source that is no basemap.
    std::optional<std::string> relativePath(std::span<const Sheet> sheets) const;

    bool operator==(const TileKey&) const = default;
};

} // namespace velorin

template <>
struct std::hash<velorin::TileKey> {
    std::size_t operator()(const velorin::TileKey& key) const noexcept
    {
        using Key = velorin::TileKey;
        velorin::Hasher hasher;
        hasher.combine(static_cast<uint64_t>(key.value.index()));
        std::visit(
            [&hasher](const auto& fields) {
                using Fields = std::decay_t<decltype(fields)>;
                if constexpr (std::is_same_v<Fields, Key::Pyramid>) {
                    hasher.combine(fields.z);
                    hasher.combine(fields.x);
                    hasher.combine(fields.y);
                } else if constexpr (std::is_same_v<Fields, Key::Thumbnail>) {
                    hasher.combine(fields.sheet);
                    hasher.combine(fields.size);
                } else if constexpr (std::is_same_v<Fields, Key::Subtile>) {
                    hasher.combine(fields.sheet);
                    hasher.combine(fields.column);
                    hasher.combine(fields.row);
                } else {
                    hasher.combine(fields.source);
                    hasher.combine(fields.z);
                    hasher.combine(fields.x);
                    hasher.combine(fields.y);
                }
            },
            key.value);
        return hasher.finalize();
    }
};
