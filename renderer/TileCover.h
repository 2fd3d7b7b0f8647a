#pragma once

#include "map-data/WorldPoint.h"
#include "map-data/WorldRect.h"
#include "renderer/ForestService.h"

#include <cstddef>
#include <vector>

namespace velorin {

// The zoom-15 tiles under a world rectangle, column by column from the west, each column
// from the north: the tile grid of the trees, the buildings and the renderer's buffers. A
// point (a rectangle of no size) lies in exactly one tile; coordinates outside the world
// are clamped to its edge tiles, and a rectangle with a NaN side covers nothing. Any thread.
std::vector<ForestService::Key> tileCover(const WorldRect& rect);

// The keys of `tileCover`, those whose centres lie nearest the rectangle's centre first (ties
// in cover order): the order in which feature loaders start their tiles.
std::vector<ForestService::Key> tileCoverNearestFirst(const WorldRect& rect);

// The north-west corner of a key's tile, in world units.
WorldPoint tileCorner(const ForestService::Key& key);
// Ground metres a world unit at the middle row of a key's tile, where its trees and
// buildings are measured.
double tileMetersPerWorldUnit(const ForestService::Key& key);

// How many keys `tileCover` lists, without listing them: a wide view covers millions.
std::size_t tileCoverCount(const WorldRect& rect);

// The zoom of the tiles `tileCover` lists.
inline constexpr int kTileCoverZoom = 15;

} // namespace velorin
