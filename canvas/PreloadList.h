#pragma once

#include "map-data/FileBatchDownload.h"
#include "map-data/ServiceHosts.h"
#include "map-data/TerrainKey.h"
#include "map-data/TileKey.h"
#include "renderer/VisibleTiles.h"

#include <unordered_set>
#include <vector>

namespace velorin {

// What a camera motion (a flight, a flyover) fetches ahead: the map tiles its cameras show,
// each once, in the order it first shows them, and the elevation grids under them. The
// tiles of one camera join in a fixed order (kind, source or sheet, level, column, row), so
// that the same motion asks for the same list from run to run. GUI thread only.
class PreloadList {
public:
    // The tiles and grids one camera shows, after those of the cameras before it.
    void add(const VisibleTiles& visible);
    const std::vector<TileKey>& tiles() const { return tiles_; }
    // The grids' downloads, by level, column and row: the national grid where it covers a
    // grid, the Terrarium tiles elsewhere.
    std::vector<FileBatchDownload::Item> elevationDownloads(const ServiceHosts& hosts) const;

private:
    std::vector<TileKey> tiles_;
    std::unordered_set<TileKey> seen_;
    std::unordered_set<TerrainKey> grids_;
};

} // namespace velorin
