// The forest inventory's tile images, as the loader classifies them into kinds of ground
// and places the tile's trees on them.

#include "features/ForestKind.h"
#include "features/TreePlacement.h"
#include "fuzz/FuzzCheck.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace velorin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto kinds = classifyKinds(std::span(reinterpret_cast<const std::byte*>(data), size));
    if (!kinds)
        return 0;
    FUZZ_CHECK(kinds->size() == kForestTilePixels);
    FUZZ_CHECK(std::ranges::all_of(*kinds, [](uint8_t kind) { return kind <= uint8_t(ForestKind::evergreenOak); }));

    // A tile of the Chartreuse, without aerial photos: the trees stand on the kinds' grid.
    constexpr int z = 15;
    constexpr int64_t x = 16808;
    constexpr int64_t y = 11740;
    const double side = TreePlacement::tileMeters(z, y);
    for (const auto& tree : TreePlacement::trees(*kinds, std::nullopt, z, x, y)) {
        FUZZ_CHECK(tree.x >= 0 && tree.x <= side && tree.y >= 0 && tree.y <= side);
        FUZZ_CHECK(std::isfinite(tree.height) && tree.height > 0);
        FUZZ_CHECK(std::isfinite(tree.shape) && std::isfinite(tree.shade));
    }
    return 0;
}
