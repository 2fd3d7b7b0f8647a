#pragma once

#include "features/ForestKind.h"
#include "platform/Image.h"
#include "renderer/ForestService.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velorin {

// Where the trees of a zoom-15 forest tile stand. With the tile's aerial photos, one tree or
// shrub per crown found in them; without, a jittered grid whose density and heights follow
// the forest kind. Every random choice is a hash of the tree's position, so a tile always
// yields the same trees in the same order. Pure functions; any thread.
class TreePlacement {
public:
    using Tree = ForestService::Tree;

    // A pixel of the aerial mosaic.
    struct CrownPoint {
        int column = 0;
        int row = 0;

        bool operator==(const CrownPoint&) const = default;
    };

    // Crowns darker than everything around them (trees), and brighter (shrubs, clearings).
    struct Crowns {
        std::vector<CrownPoint> dark;
        std::vector<CrownPoint> bright;
    };

    // The tile's aerial photos side by side: side × side RGBA pixels, row 0 north.
    struct Mosaic {
        int side = 0;
        std::vector<std::byte> rgba;
    };

    // Seeds of the position hash, one per random choice.
    static constexpr std::uint64_t kGridEastSeed = 83492791;
    static constexpr std::uint64_t kGridSouthSeed = 166985582;
    static constexpr std::uint64_t kGridPresenceSeed = 250478373;
    static constexpr std::uint64_t kMixedShapeSeed = 333971164;
    static constexpr std::uint64_t kHeightSeed = 417463955;
    static constexpr std::uint64_t kShadeSeed = 500956746;
    static constexpr std::uint64_t kShrubHeightSeed = 584449537;
    static constexpr std::uint64_t kShrubShadeSeed = 667942328;
    static constexpr std::uint64_t kCrownLobeSeed = 751435119;

    // Crown positions are hashed at this many bits a tile (mosaic pixels), grid cells at 12.
    static constexpr int kCrownHashBits = 13;
    static constexpr int kGridHashBits = 12;
    static constexpr double kGridCellMeters = 9;
    // Aerial tiles a side of the mosaic, each of this many pixels.
    static constexpr int kMosaicTilesPerSide = 4;
    static constexpr int kAerialTileSide = 256;

    // Tree shape codes.
    static constexpr float kConiferShape = 0;
    static constexpr float kBroadleafShape = 1;
    static constexpr float kShrubShape = 2;
    static constexpr float kEvergreenOakShape = 3;
    static constexpr float kOakShape = 4;
    static constexpr float kLoneTreeShape = 5;

    // A draw in [0, 1) for integer coordinates a (east) and b (south) under a seed.
    static double draw(std::int64_t a, std::int64_t b, std::uint64_t seed);
    // The ground width in metres of tile row y at zoom z, taken at its middle row.
    static double tileMeters(int z, std::int64_t y);

    // The photos in tile order drawn into one square mosaic (round(√count) tiles a side);
    // nothing when there are none. An image of another size is drawn to fit its place.
    static std::optional<Mosaic> orthophotoMosaic(std::span<const platform::Image> images);

    // Means over the clipped window of 2·radius + 1 samples along each row (horizontal) or
    // column of a size × size plane.
    static void boxBlur(std::vector<float>& plane, bool horizontal, int size, int radius);
    // The minimum over the (2·radius + 1)² square around each sample, clipped to the plane.
    static std::vector<float> minimumFilter(const std::vector<float>& plane, int size, int radius);

    // The crowns of a size × size RGBA mosaic; none within three pixels of its border, and
    // never two within the 7 × 7 square around one.
    static Crowns detectCrowns(std::span<const std::byte> rgba, int size);

    // A tree for each dark crown, except in open ground where a bright crown lies close by.
    static std::vector<Tree> crownTrees(const std::vector<CrownPoint>& dark, const std::vector<CrownPoint>& bright,
        const ForestKinds& kinds, int mosaicSide, int z, std::int64_t x, std::int64_t y);
    // A shrub for each bright crown of open ground, heath or land outside the forest.
    static std::vector<Tree> crownShrubs(const std::vector<CrownPoint>& bright, const ForestKinds& kinds,
        int mosaicSide, int z, std::int64_t x, std::int64_t y);
    // Trees on a jittered 9 m grid, where the kinds say there is forest.
    static std::vector<Tree> gridTrees(const ForestKinds& kinds, int z, std::int64_t x, std::int64_t y);

    // The tile's trees: crowns of the mosaic when there is one, else the grid.
    static std::vector<Tree> trees(const ForestKinds& kinds, const std::optional<Mosaic>& mosaic, int z,
        std::int64_t x, std::int64_t y);

    // The forest kind of a mosaic pixel.
    static ForestKind kindAt(const ForestKinds& kinds, CrownPoint crown, int mosaicSide);
};

} // namespace velorin
