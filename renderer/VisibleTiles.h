#pragma once

#include "map-data/Basemap.h"
#include "map-data/TerrainKey.h"
#include "map-data/TileKey.h"
#include "renderer/Camera.h"

#include <unordered_set>

namespace velorin {

// The map tiles and elevation grids that drawing a camera would need, for fetching them
// before a flight or flyover gets there. Pure; any thread.
struct VisibleTiles {
    // The renderer's display options that decide which tiles a frame shows.
    struct Settings {
        Basemap basemap = Basemap::top25;
        bool showsSlopes = false;
        double contentScale = 3.0;
        int detailBias = 0;

        bool operator==(const Settings&) const = default;
    };

    // Bands this many levels coarser than the camera's, or coarser still, are left out.
    static constexpr int kMaxBandDrop = 4;
    // A band and layer spanning this many tiles or more adds none.
    static constexpr long long kMaxBandTiles = 2501;
    // A band needing more elevation grids than this adds none.
    static constexpr long long kMaxBandElevationGrids = 64;
    static constexpr int kMinElevationZoom = 5;
    static constexpr int kMaxElevationZoom = 16;
    // The elevation zoom is this many levels below the tile level of the camera's zoom.
    static constexpr int kElevationZoomOffset = 2;

    std::unordered_set<TileKey> tiles;
    std::unordered_set<TerrainKey> terrain;

    // Nothing for the platform's own basemaps, which have no web tiles.
    static VisibleTiles of(const Camera& camera, const Settings& settings);
};

} // namespace velorin
