#include "renderer/TileGrid.h"

#include <gtest/gtest.h>

#include <set>

using velorin::TileGrid;

TEST(TileGrid, IndexCountsAreSixPerCellAndTwentyFourPerSkirtedDivision)
{
    struct Case {
        int divisions;
        bool skirt;
        std::size_t count;
    };
    for (auto c : {Case{1, false, 6}, Case{16, false, 1536}, Case{64, true, 26'112}, Case{256, true, 399'360}})
        EXPECT_EQ(TileGrid::indices(c.divisions, c.skirt).size(), c.count) << c.divisions;
}

TEST(TileGrid, ATwoByTwoSkirtedGridHangsEachEdgeSegmentFromItsOwnSkirtVertices)
{
    // Vertices 0…8 are the grid; 9…11 the top skirt, 12…14 bottom, 15…17 left, 18…20 right.
    const auto indices = TileGrid::indices(2, true);
    ASSERT_EQ(indices.size(), 6u * 4 + 24u * 2);
    const std::vector<std::uint32_t> firstCell(indices.begin(), indices.begin() + 6);
    EXPECT_EQ(firstCell, (std::vector<std::uint32_t>{0, 1, 4, 0, 4, 3}));
    const std::vector<std::uint32_t> skirts(indices.begin() + 24, indices.end());
    const std::vector<std::uint32_t> expected = {
        0, 1, 10, 0, 10, 9, 1, 2, 11, 1, 11, 10,   // top row
        6, 7, 13, 6, 13, 12, 7, 8, 14, 7, 14, 13,  // bottom row
        0, 3, 16, 0, 16, 15, 3, 6, 17, 3, 17, 16,  // left column
        2, 5, 19, 2, 19, 18, 5, 8, 20, 5, 20, 19,  // right column
    };
    EXPECT_EQ(skirts, expected);
    EXPECT_EQ(std::set<std::uint32_t>(indices.begin(), indices.end()).size(), TileGrid::vertexCount(2, true));
}
