#pragma once

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

// How many keys `tileCover` lists, without listing them: a wide view covers millions.
std::size_t tileCoverCount(const WorldRect& rect);

// The zoom of the tiles `tileCover` lists.
inline constexpr int kTileCoverZoom = 15;

} // namespace velorin
