#pragma once

#include "features/BlockingFetch.h"
#include "map-data/DiskStore.h"
#include "map-data/ServiceHosts.h"
#include "platform/Image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velorin {

// The level-17 aerial photos over a forest tile, for the crowns of its trees and its canopy.
// They are the map's own orthophoto tiles: a photo on disk is taken as it is, and a missing
// one is downloaded and, once it decodes, kept under the map's key, so that the map and the
// trees share one download and one copy. The tile loader repairs every border photo it
// reads from disk (white areas filled from the neighbouring countries' photos) and keeps the
// repaired one in its place, so a photo stored here is repaired the first time the map
// shows it. Any thread; the collection blocks on downloads, so it runs on a loader's worker
// thread.
class AerialTiles {
public:
    static constexpr int kLevel = 17;
    // Decoded photos larger than this are refused before allocation.
    static constexpr std::int64_t kMaxPhotoPixels = 1024 * 1024;

    struct Tile {
        std::int64_t column = 0;
        std::int64_t row = 0;
        // The map's orthophoto tile ("web/orthophoto/17/<column>_<row>.jpg").
        std::string mapKey;
        // The provider's address, before the relay.
        std::string url;
    };

    // The 4^(17 − z) photos over tile (z, x, y), row by row from the north-west.
    static std::vector<Tile> orthophotoTiles(const ServiceHosts& hosts, int z, std::int64_t x, std::int64_t y);

    // The decoded photos in order, up to the first one that cannot be had or does not decode.
    static std::vector<platform::Image> collect(const std::vector<Tile>& tiles, DiskStore& store, BlockingFetch& fetch);
};

} // namespace velorin
