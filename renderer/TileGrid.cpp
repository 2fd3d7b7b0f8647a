#include "renderer/TileGrid.h"

namespace velorin {

namespace {
constexpr int kEdgeCount = 4;
}

std::size_t TileGrid::vertexCount(int divisions, bool skirt)
{
    const std::size_t side = std::size_t(divisions) + 1;
    return side * side + (skirt ? kEdgeCount * side : 0);
}

std::vector<std::uint32_t> TileGrid::indices(int divisions, bool skirt)
{
    const std::uint32_t d = std::uint32_t(divisions);
    std::vector<std::uint32_t> indices;
    indices.reserve(6 * std::size_t(d) * d + (skirt ? 24 * std::size_t(d) : 0));
    for (std::uint32_t r = 0; r < d; ++r) {
        for (std::uint32_t c = 0; c < d; ++c) {
            const std::uint32_t i = r * (d + 1) + c;
            indices.insert(indices.end(), {i, i + 1, i + d + 2, i, i + d + 2, i + d + 1});
        }
    }
    if (!skirt)
        return indices;
    // The edge vertex at position c of each side: top row, bottom row, left and right column.
    const auto edgeVertex = [d](int side, std::uint32_t c) -> std::uint32_t {
        switch (side) {
        case 0:
            return c;
        case 1:
            return d * (d + 1) + c;
        case 2:
            return c * (d + 1);
        default:
            return c * (d + 1) + d;
        }
    };
    for (int side = 0; side < kEdgeCount; ++side) {
        for (std::uint32_t c = 0; c < d; ++c) {
            const std::uint32_t a = edgeVertex(side, c);
            const std::uint32_t b = edgeVertex(side, c + 1);
            const std::uint32_t k = (d + 1) * (d + 1) + std::uint32_t(side) * (d + 1) + c;
            indices.insert(indices.end(), {a, b, k + 1, a, k + 1, k});
        }
    }
    return indices;
}

} // namespace velorin
