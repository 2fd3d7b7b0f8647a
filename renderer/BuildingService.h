#pragma once

#include "renderer/ForestService.h"

#include <array>
#include <functional>
#include <vector>

namespace velorin {

// What the renderer asks of the building source: a triangle mesh per zoom-15 tile, loaded
// in the background on request. The map features implement it; the renderer reads its
// table and asks for tiles on the GUI thread only.
class BuildingService {
public:
    // A corner of a building triangle: metres from the tile's north-west corner and up,
    // the face normal, the building part, an RGBA colour (a negative red: none of its
    // own), the footprint point and where it lies along its wall.
    struct Vertex {
        float x = 0;
        float y = 0;
        float z = 0;
        float nx = 0;
        float ny = 0;
        float nz = 0;
        float part = 0;
        std::array<float, 4> color = {-1, 0, 0, 0};
        float footX = 0;
        float footY = 0;
        float wallU = 0;
        float wallLength = 0;

        bool operator==(const Vertex&) const = default;
    };

    virtual ~BuildingService() = default;

    // Triangles (three vertices each) by zoom-15 tile.
    virtual const ForestService::Table<std::vector<Vertex>>& tiles() const = 0;
    // Starts loading the tiles over `rect` that are not built, not loading and did not
    // fail in the last minute; `onChange` tells when a mesh arrives.
    virtual void request(const WorldRect& rect) = 0;
    // Where a tile's building data are kept on disk and fetched from, for fetching them
    // ahead of a flyover.
    virtual FileBatchDownload::Item download(const ForestService::Key& key) const = 0;
    // Called on the GUI thread when a tile's mesh arrives.
    std::function<void()> onChange;
};

} // namespace velorin
