#pragma once

#include "map-data/FileBatchDownload.h"
#include "map-data/Hasher.h"
#include "map-data/WorldRect.h"

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

namespace velorin {

// What the renderer asks of the forest source: the trees placed in each zoom-15 tile and
// the aerial canopy height grids, loaded in the background on request. The map features
// implement it; the renderer reads its tables and asks for tiles on the GUI thread only.
class ForestService {
public:
    // A zoom-15 tile.
    struct Key {
        std::int64_t z = 0;
        std::int64_t x = 0;
        std::int64_t y = 0;

        bool operator==(const Key&) const = default;
    };

    // A placed tree: metres east and south of its tile's north-west corner, its height in
    // metres, its shape code and the shade between its two leaf colours.
    struct Tree {
        float x = 0;
        float y = 0;
        float height = 0;
        float shape = 0;
        float shade = 0;

        bool operator==(const Tree&) const = default;
    };

    // A square of side × side canopy heights, row by row.
    struct Canopy {
        int side = 0;
        std::vector<std::uint16_t> heights;
    };

    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept
        {
            Hasher hasher;
            hasher.combine(key.z);
            hasher.combine(key.x);
            hasher.combine(key.y);
            return hasher.finalize();
        }
    };

    template <typename Value>
    using Table = std::unordered_map<Key, Value, KeyHash>;

    virtual ~ForestService() = default;

    // Trees by tile; a tile without an entry has none yet.
    virtual const Table<std::vector<Tree>>& tiles() const = 0;
    virtual const Table<Canopy>& canopies() const = 0;
    // Whether the tile's last tree or canopy fetch failed.
    virtual bool treesFailed(const Key& key) const = 0;
    virtual bool canopyFailed(const Key& key) const = 0;
    // Starts loading the trees of the tiles over `rect` that have none, are not loading and
    // did not fail in the last minute; `onChange` tells when they arrive.
    virtual void request(const WorldRect& rect) = 0;
    // The same for the canopy grids.
    virtual void requestCanopy(const WorldRect& rect) = 0;
    // Where a tile's forest inventory image is kept on disk and fetched from, for fetching
    // it ahead of a flyover.
    virtual FileBatchDownload::Item download(const Key& key) const = 0;
    // Called on the GUI thread when trees or canopies arrive.
    std::function<void()> onChange;
};

} // namespace velorin
