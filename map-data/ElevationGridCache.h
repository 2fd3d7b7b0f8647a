#pragma once

// The elevation grids held in memory, least recently stored evicted first, and the height
// look-up that the renderer runs for every vertex. Written only on the main thread;
// `elevationAt` and `contains` may also run on worker threads while the main thread waits
// for them, so that no write runs meanwhile.

#include "map-data/ElevationGrid.h"
#include "map-data/TerrainKey.h"
#include "map-data/WorldPoint.h"

#include <cstddef>
#include <list>
#include <span>
#include <unordered_map>

namespace velorin {

class ElevationGridCache {
public:
    explicit ElevationGridCache(std::size_t budgetGrids);

    // Enters or replaces the key's grid and makes it the most recently stored; beyond the
    // budget the least recently stored grid goes.
    void store(const TerrainKey& key, ElevationGrid grid);

    bool contains(const TerrainKey& key) const { return tiles_.contains(key); }
    std::size_t size() const { return tiles_.size(); }
    std::size_t budget() const { return budget_; }

    // Metres at a world point (x, y in 0…1), from the deepest cached grid from level
    // min(zoom, 16) up to six levels coarser; 0 when none is cached. Never allocates.
    double elevationAt(double x, double y, int zoom) const;
    // `elevationAt` of each point, written to the height of the same index. Points next to
    // each other mostly share a grid, which is then looked up once. Never allocates.
    void elevations(std::span<const WorldPoint> points, int zoom, std::span<double> out) const;

private:
    struct Entry {
        ElevationGrid grid;
        std::list<TerrainKey>::iterator recent;
    };

    // The deepest cached grid under a point as `elevationAt` searches it, with the point's
    // position in grid pixels; nothing when none is cached.
    struct Found {
        const ElevationGrid* grid = nullptr;
        float px = 0;
        float py = 0;
    };
    // The grid of the last look-up that found the deepest level asked for: the next points in
    // that grid need no look-up.
    struct Cursor {
        const ElevationGrid* grid = nullptr;
        int z = -1;
        int x = 0;
        int y = 0;
    };
    Found gridAt(double x, double y, int zoom, Cursor* cursor = nullptr) const;

    std::size_t budget_;
    std::unordered_map<TerrainKey, Entry> tiles_;
    std::list<TerrainKey> recent_;
};

} // namespace velorin
