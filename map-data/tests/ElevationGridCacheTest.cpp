#include "map-data/ElevationGridCache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace velorin;

namespace {

ElevationGrid flat(float height)
{
    return ElevationGrid(kElevationGridCells, height);
}

// Height = column + 1000·row, so a sample tells where it was read.
ElevationGrid gradient()
{
    ElevationGrid grid(kElevationGridCells);
    for (int row = 0; row < kElevationGridSide; ++row)
        for (int column = 0; column < kElevationGridSide; ++column)
            grid[row * kElevationGridSide + column] = float(column + 1000 * row);
    return grid;
}

// The world point at the centre of a grid cell.
std::pair<double, double> cellCentre(TerrainKey key, int column, int row)
{
    const double n = std::exp2(key.z);
    return { (key.x + (column + 0.5) / kElevationGridSide) / n, (key.y + (row + 0.5) / kElevationGridSide) / n };
}

} // namespace

TEST(ElevationGridCache, ReadsTheCellUnderAPointAndBetweenCells)
{
    ElevationGridCache cache(8);
    const TerrainKey key { 12, 2074, 1409 };
    cache.store(key, gradient());

    auto [x, y] = cellCentre(key, 10, 20);
    EXPECT_DOUBLE_EQ(cache.elevationAt(x, y, 12), 20010);
    // Halfway between two columns and two rows.
    const double half = 0.5 / kElevationGridSide / std::exp2(12);
    EXPECT_NEAR(cache.elevationAt(x + half, y + half, 12), 20510.5, 0.01);
}

TEST(ElevationGridCache, SearchesFromLevelSixteenUpToSixLevelsCoarser)
{
    struct Case {
        int cachedLevel;
        int zoom;
        double expected;
    };
    for (auto c : { Case { 12, 19, 0 }, Case { 12, 18, 12 }, Case { 12, 12, 12 }, Case { 12, 11, 0 },
             Case { 17, 20, 0 }, Case { 16, 20, 16 }, Case { 0, 3, 0 } }) {
        ElevationGridCache cache(8);
        const double x = 0.5064, y = 0.3441;
        const int n = 1 << c.cachedLevel;
        cache.store({ c.cachedLevel, int(x * n), int(y * n) }, flat(float(c.cachedLevel)));
        EXPECT_EQ(cache.elevationAt(x, y, c.zoom), c.expected) << "level " << c.cachedLevel << " at zoom " << c.zoom;
    }

    ElevationGridCache cache(8);
    cache.store({ 15, 16595, 11275 }, flat(15));
    cache.store({ 16, 33190, 22550 }, flat(16));
    cache.store({ 17, 66380, 45100 }, flat(17));
    auto [x, y] = cellCentre({ 17, 66380, 45100 }, 0, 0);
    EXPECT_EQ(cache.elevationAt(x, y, 20), 16) << "the deepest level searched wins";
}

TEST(ElevationGridCache, AnswersZeroWithoutAGridOrForAPointOffTheMap)
{
    ElevationGridCache cache(8);
    EXPECT_EQ(cache.elevationAt(0.5, 0.5, 12), 0);
    cache.store({ 0, 0, 0 }, flat(100));
    EXPECT_EQ(cache.elevationAt(0.5, 0.5, 3), 100);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (auto [x, y] : { std::pair { nan, 0.5 }, std::pair { 0.5, nan }, std::pair { -0.1, 0.5 }, std::pair { 0.5, 1e300 } })
        EXPECT_EQ(cache.elevationAt(x, y, 3), 0) << x << ", " << y;
}

TEST(ElevationGridCache, EvictsTheLeastRecentlyStoredGridBeyondItsBudget)
{
    ElevationGridCache cache(3);
    const TerrainKey a { 9, 1, 1 }, b { 9, 2, 1 }, c { 9, 3, 1 }, d { 9, 4, 1 };
    cache.store(a, flat(1));
    cache.store(b, flat(2));
    cache.store(c, flat(3));
    cache.store(a, flat(4));
    cache.store(d, flat(5));

    EXPECT_EQ(cache.size(), 3u);
    EXPECT_FALSE(cache.contains(b)) << "storing a again made it recent";
    EXPECT_TRUE(cache.contains(a));
    EXPECT_TRUE(cache.contains(c));
    EXPECT_TRUE(cache.contains(d));
    auto [x, y] = cellCentre(a, 0, 0);
    EXPECT_EQ(cache.elevationAt(x, y, 9), 4) << "a later store replaces the grid";
}

TEST(ElevationGridCache, ARunOfPointsReadsWhatEachPointReadsAlone)
{
    // Two neighbouring grids at level 12 and, beside them, only their coarser parent, so
    // that a run walks from one grid into the next and out onto the coarser one and back.
    ElevationGridCache cache(8);
    cache.store({ 12, 2074, 1409 }, gradient());
    cache.store({ 12, 2075, 1409 }, flat(300));
    cache.store({ 11, 1038, 704 }, flat(-50));
    const double n = std::exp2(12);
    std::vector<WorldPoint> points;
    for (double column : { 2074.2, 2074.9, 2075.1, 2075.8, 2076.3, 2074.5, 2076.1, 2075.5, 0.0, 9000.0 })
        points.push_back({ column / n, 1409.5 / n });
    points.push_back({ std::numeric_limits<double>::quiet_NaN(), 0.2 });

    std::vector<double> heights(points.size(), 1e9);
    cache.elevations(points, 12, heights);
    for (std::size_t at = 0; at < points.size(); ++at) {
        const double alone = cache.elevationAt(points[at].x, points[at].y, 12);
        EXPECT_EQ(heights[at], alone) << at;
    }
    EXPECT_EQ(heights[2], 300);
    EXPECT_EQ(heights[4], -50) << "no finer grid there";
    EXPECT_EQ(heights[8], 0) << "none cached";
}
