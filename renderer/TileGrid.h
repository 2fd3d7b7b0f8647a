#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace velorin {

// The triangle grid shared by every terrain mesh of a division count: (d+1)² vertices in
// rows from north to south, optionally followed by 4·(d+1) skirt vertices (the top row,
// bottom row, left column and right column again, lowered) that hide the cracks between
// neighbouring meshes of different detail. Stateless; any thread.
struct TileGrid {
    // The division counts that have an index buffer, in the order they are made.
    static constexpr std::array<int, 7> kDivisionCounts = {1, 16, 32, 48, 64, 128, 256};
    // Division counts from this one on also have a skirted grid: every mesh laid on the
    // relief.
    static constexpr int kMinSkirtDivisions = 16;

    // Two triangles a cell, then with `skirt` two a segment of each of the four edges.
    static std::vector<std::uint32_t> indices(int divisions, bool skirt);
    static std::size_t vertexCount(int divisions, bool skirt);
};

} // namespace velorin
