#include "map-data/TerrainService.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

using namespace velorin;

namespace {

std::vector<std::byte> fixture(const char* name)
{
    std::ifstream file(std::string(VELORIN_FIXTURES) + "/" + name, std::ios::binary);
    std::vector<char> chars { std::istreambuf_iterator<char>(file), {} };
    std::vector<std::byte> bytes(chars.size());
    std::memcpy(bytes.data(), chars.data(), chars.size());
    return bytes;
}

} // namespace

TEST(TerrainFileDecoding, TellsBILGridsFromTerrariumImages)
{
    auto png = fixture("terrarium-gradient.png");
    ASSERT_FALSE(png.empty());
    auto grid = TerrainService::decodeTerrarium(png);
    ASSERT_TRUE(grid);
    EXPECT_EQ((*grid)[130 * kElevationGridSide + 200], 200 + 2 * 256 + 0.5f);

    // A PNG padded to the size of a BIL body is still an image.
    png.resize(262144);
    auto padded = TerrainService::decodeTerrarium(png);
    ASSERT_TRUE(padded);
    EXPECT_EQ(*padded, *grid);

    std::vector<float> heights(kElevationGridCells, 1234.5f);
    std::vector<std::byte> bil(heights.size() * sizeof(float));
    std::memcpy(bil.data(), heights.data(), bil.size());
    auto fromBIL = TerrainService::decodeTerrarium(bil);
    ASSERT_TRUE(fromBIL);
    EXPECT_EQ((*fromBIL)[0], 1234.5f);

    EXPECT_FALSE(TerrainService::decodeTerrarium(fixture("terrarium-255-wide.png"))) << "not 256 × 256";
    bil.pop_back();
    EXPECT_FALSE(TerrainService::decodeTerrarium(bil)) << "one byte short of a BIL body, and no image";
    EXPECT_FALSE(TerrainService::decodeTerrarium({}));
}
