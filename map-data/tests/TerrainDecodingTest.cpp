#include "map-data/TerrainService.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

using namespace velorin;

namespace {

constexpr int kSide = kElevationGridSide;

// A BIL body of 65,536 little-endian floats.
std::vector<std::byte> bilBytes(const ElevationGrid& grid)
{
    std::vector<std::byte> bytes(grid.size() * sizeof(float));
    std::memcpy(bytes.data(), grid.data(), bytes.size());
    return bytes;
}

ElevationGrid gradient()
{
    ElevationGrid grid(kElevationGridCells);
    for (int row = 0; row < kSide; ++row)
        for (int column = 0; column < kSide; ++column)
            grid[row * kSide + column] = float(column + 10 * row);
    return grid;
}

int nanCount(const ElevationGrid& grid)
{
    return int(std::count_if(grid.begin(), grid.end(), [](float h) { return std::isnan(h); }));
}

} // namespace

TEST(TerrainBIL, DecodesAWholeBodyAndRefusesAnyOtherSize)
{
    auto bytes = bilBytes(gradient());
    ASSERT_EQ(bytes.size(), 262144u);
    auto grid = TerrainService::decodeBIL(bytes);
    ASSERT_TRUE(grid);
    EXPECT_EQ(*grid, gradient());

    bytes.pop_back();
    EXPECT_FALSE(TerrainService::decodeBIL(bytes));
}

TEST(TerrainBIL, ANoDataCellAndItsNeighboursBecomeHoles)
{
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        int row, column;
        int holes;
    };
    for (auto c : { Case { -100.5f, 100, 100, 9 }, Case { -9999.0f, 100, 100, 9 }, Case { 9000.5f, 100, 100, 9 },
             Case { std::numeric_limits<float>::quiet_NaN(), 100, 100, 9 }, Case { inf, 100, 100, 9 },
             Case { -inf, 100, 100, 9 }, Case { -9999.0f, 0, 0, 4 }, Case { -9999.0f, 255, 128, 6 },
             Case { -100.0f, 100, 100, 0 }, Case { 9000.0f, 100, 100, 0 } }) {
        ElevationGrid source = gradient();
        source[c.row * kSide + c.column] = c.value;
        auto grid = TerrainService::decodeBIL(bilBytes(source));
        ASSERT_TRUE(grid);
        EXPECT_EQ(nanCount(*grid), c.holes) << c.value << " at " << c.row << "," << c.column;
        if (c.holes == 9) {
            for (int row = 99; row <= 101; ++row)
                for (int column = 99; column <= 101; ++column)
                    EXPECT_TRUE(std::isnan((*grid)[row * kSide + column])) << row << "," << column;
            EXPECT_EQ((*grid)[98 * kSide + 98], source[98 * kSide + 98]) << "cells further away keep their height";
        }
    }
}

TEST(TerrainTerrarium, HeightsComeFromTheRedGreenAndBlueBytes)
{
    platform::Image image { kSide, kSide, std::vector<std::byte>(std::size_t(kElevationGridCells) * 4) };
    auto setPixel = [&](int index, int r, int g, int b, int a) {
        for (int k = 0; k < 4; ++k)
            image.pixels[index * 4 + k] = std::byte(std::array { r, g, b, a }[k]);
    };
    setPixel(0, 128, 0, 0, 255);
    setPixel(1, 0, 0, 0, 255);
    setPixel(2, 131, 119, 128, 0);
    setPixel(kElevationGridCells - 1, 255, 255, 255, 255);
    auto grid = TerrainService::terrariumHeights(image);
    ASSERT_TRUE(grid);
    EXPECT_EQ((*grid)[0], 0.0f);
    EXPECT_EQ((*grid)[1], -32768.0f);
    EXPECT_EQ((*grid)[2], 887.5f) << "131·256 + 119 + 128/256 − 32768, whatever the alpha";
    EXPECT_FLOAT_EQ((*grid)[kElevationGridCells - 1], 32767.0f + 255.0f / 256);

    for (auto [width, height] : { std::pair { 255, 256 }, std::pair { 512, 512 }, std::pair { 256, 128 } }) {
        platform::Image other { width, height, std::vector<std::byte>(std::size_t(width) * height * 4) };
        EXPECT_FALSE(TerrainService::terrariumHeights(other)) << width << "×" << height;
    }
}

TEST(TerrainSample, InterpolatesBilinearlyAndClampsToTheGrid)
{
    const ElevationGrid grid = gradient();
    struct Case {
        float px, py;
        float expected;
    };
    for (auto c : { Case { 10, 20, 210 }, Case { 10.25f, 20.5f, 215.25f }, Case { -3, -7, 0 },
             Case { 300, 255.5f, 255 + 2550 }, Case { 254.5f, 0, 254.5f },
             Case { std::numeric_limits<float>::quiet_NaN(), 1, 10 } })
        EXPECT_FLOAT_EQ(sampleHeight(grid, c.px, c.py), c.expected) << c.px << ", " << c.py;
}

TEST(TerrainMask, CellsOutsideFranceOfAnIGNTileBecomeHoles)
{
    ElevationGrid flat(kElevationGridCells, 500.0f);
    EXPECT_EQ(nanCount(TerrainService::franceMasked(flat, 12, 2074, 1409)), 0) << "Paris";
    EXPECT_EQ(nanCount(TerrainService::franceMasked(flat, 12, 2072, 1529)), kElevationGridCells) << "Barcelona";
    EXPECT_EQ(nanCount(TerrainService::franceMasked(flat, 12, 2005, 1544)), 0) << "Madrid is not an IGN tile";

    const int genevaHoles = nanCount(TerrainService::franceMasked(flat, 12, 2117, 1453));
    EXPECT_GT(genevaHoles, 0);
    EXPECT_LT(genevaHoles, kElevationGridCells) << "the tile around Geneva holds French ground too";
}

TEST(TerrainFill, HolesTakeTerrariumHeightsFromTheMatchingSpotOfTheFillTile)
{
    EXPECT_EQ(TerrainService::terrariumFillKey({ 14, 8300, 5800 }), (TerrainKey { 14, 8300, 5800 }));
    EXPECT_EQ(TerrainService::terrariumFillKey({ 15, 16601, 11603 }), (TerrainKey { 15, 16601, 11603 }));
    EXPECT_EQ(TerrainService::terrariumFillKey({ 16, 33203, 23207 }), (TerrainKey { 15, 16601, 11603 }));

    const float nan = std::numeric_limits<float>::quiet_NaN();
    ElevationGrid grid(kElevationGridCells, 700.0f);
    grid[0] = nan;
    grid[10 * kSide + 20] = nan;
    grid[kElevationGridCells - 1] = nan;

    // Same level: the same cell.
    auto same = TerrainService::filledFromTerrarium(grid, gradient(), { 14, 8300, 5800 });
    EXPECT_EQ(same[0], 0);
    EXPECT_EQ(same[10 * kSide + 20], 120);
    EXPECT_EQ(same[kElevationGridCells - 1], 255 + 2550);
    EXPECT_EQ(same[1], 700) << "cells with a height keep it";

    // A level-16 key in the south-east quarter of its level-15 fill tile.
    auto deeper = TerrainService::filledFromTerrarium(grid, gradient(), { 16, 33203, 23207 });
    EXPECT_EQ(deeper[0], 128 + 1280);
    EXPECT_EQ(deeper[10 * kSide + 20], 138 + 1330);
    EXPECT_EQ(nanCount(deeper), 0);
}
