#pragma once

#include "renderer/BuildingService.h"

#include <array>
#include <cstddef>
#include <span>

namespace velorin {

// A roof triangle of a buildings tile cut along the tile's quarter lines (east and south of
// the tile's corner by half its width), into triangles that each lie in one quarter, their
// vertices' values interpolated along the cut sides; a triangle that crosses neither line
// stays whole. A value; any thread.
class RoofPieces {
public:
    using Triangle = std::array<BuildingService::Vertex, 3>;

    // Four quarters of at most a pentagon each.
    static constexpr std::size_t kMaxTriangles = 12;

    static RoofPieces of(const Triangle& triangle, float halfTileMeters);
    // Whether the triangle crosses a quarter line, and so is cut into more than one piece.
    static bool crossesQuarterLines(const Triangle& triangle, float halfTileMeters);

    std::span<const Triangle> triangles() const { return {triangles_.data(), count_}; }

private:
    std::array<Triangle, kMaxTriangles> triangles_{};
    std::size_t count_ = 0;
};

} // namespace velorin
