#pragma once

#include "features/ForestKind.h"
#include "features/TreePlacement.h"
#include "renderer/ForestService.h"

#include <cstdint>

namespace velorin {

// The height of the forest canopy over the ground across a zoom-15 tile, one value per
// pixel of its aerial mosaic, in centimetres (0: bare ground). Each crown that the tree
// placement finds becomes a dome of its tree's height, lobed like a real crown; shrubs are
// low, narrow domes. The renderer lifts aerial photos by it when 3D trees are off. Pure
// functions; any thread.
class CanopyGrid {
public:
    static constexpr double kCentimetresPerMeter = 100;
    // A tree's crown spreads over this share of its height, within these radii (metres).
    static constexpr double kCrownRadiusShare = 0.3;
    static constexpr double kMinCrownRadiusMeters = 1.5;
    static constexpr double kMaxCrownRadiusMeters = 4.5;
    static constexpr double kShrubRadiusMeters = 1;
    // The crown's edge swells and shrinks by this share, seven times round.
    static constexpr int kLobes = 7;
    static constexpr double kLobeDepth = 0.15;

    // The canopy over the tile's mosaic: side = the mosaic's side, side² values.
    static ForestService::Canopy make(const ForestKinds& kinds, const TreePlacement::Mosaic& mosaic, int z,
        std::int64_t x, std::int64_t y);

    // An empty canopy (side 0) for a tile without forest: nothing to lift.
    static ForestService::Canopy bare() { return {}; }
};

} // namespace velorin
