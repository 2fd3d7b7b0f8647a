#pragma once

// The elevation grids held in memory, least recently stored evicted first, and the height
// look-up that the renderer runs for every vertex. Written only on the main thread;
// `elevationAt` and `contains` may also run on worker threads while the main thread waits
// for them, so that no write runs meanwhile.

#include "map-data/ElevationGrid.h"
#include "map-data/TerrainKey.h"

#include <cstddef>
#include <list>
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

private:
    struct Entry {
        ElevationGrid grid;
        std::list<TerrainKey>::iterator recent;
    };

    std::size_t budget_;
    std::unordered_map<TerrainKey, Entry> tiles_;
    std::list<TerrainKey> recent_;
};

} // namespace velorin
