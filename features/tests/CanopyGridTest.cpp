#include "features/CanopyGrid.h"

#include "ForestImages.h"
#include "map-data/WorldPoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

using namespace velorin;
using namespace forest_testing;

namespace {

constexpr int kZ = 15;
constexpr std::int64_t kX = 16860;
constexpr int kSide = 1024;

ForestKinds everywhere(ForestKind kind)
{
    return ForestKinds(kForestTilePixels, std::uint8_t(kind));
}

std::uint16_t valueAt(const ForestService::Canopy& canopy, int column, int row)
{
    return canopy.heights[std::size_t(row) * std::size_t(canopy.side) + std::size_t(column)];
}

} // namespace

TEST(CanopyGrid, LiftsEachCrownsTreeHeightInCentimetresOverTheMosaicsPixels)
{
    constexpr std::int64_t y = 11787;
    const ForestKinds heath = everywhere(ForestKind::heath);
    const auto photo = aerialPhoto(kSide, {{200, 300}, {700, 650}}, {{100, 900}});
    const TreePlacement::Mosaic mosaic{kSide, photo.pixels};
    const ForestService::Canopy canopy = CanopyGrid::make(heath, mosaic, kZ, kX, y);
    ASSERT_EQ(canopy.side, kSide);
    ASSERT_EQ(canopy.heights.size(), std::size_t(kSide) * kSide);

    const auto crowns = TreePlacement::detectCrowns(photo.pixels, kSide);
    const auto trees = TreePlacement::crownTrees(crowns.dark, crowns.bright, heath, kSide, kZ, kX, y);
    const auto shrubs = TreePlacement::crownShrubs(crowns.bright, heath, kSide, kZ, kX, y);
    ASSERT_EQ(trees.size(), 2u);
    ASSERT_EQ(shrubs.size(), 1u);
    EXPECT_EQ(valueAt(canopy, 200, 300), std::lround(trees[0].height * 100)) << "a dome peaks at its tree's height";
    EXPECT_EQ(valueAt(canopy, 700, 650), std::lround(trees[1].height * 100));
    EXPECT_EQ(valueAt(canopy, 100, 900), std::lround(shrubs[0].height * 100));
    EXPECT_LT(valueAt(canopy, 203, 300), valueAt(canopy, 201, 300)) << "and falls away from it";
    EXPECT_EQ(valueAt(canopy, 212, 300), 0) << "past its radius of at most 4.5 m and its lobes";
    EXPECT_EQ(valueAt(canopy, 102, 900), 0) << "a shrub is a metre wide";
    EXPECT_EQ(valueAt(canopy, 500, 500), 0) << "the meadow is bare";
}

TEST(CanopyGrid, ShapesACrownWithSevenLobes)
{
    // Far north, where mosaic pixels are small and a crown spans many of them.
    const std::int64_t y = std::int64_t(WorldPoint::fromLatitudeLongitude(70, 20).y * 32768);
    const double metersPerPixel = TreePlacement::tileMeters(kZ, y) / kSide;
    const auto photo = aerialPhoto(kSide, {{500, 500}});
    const ForestService::Canopy canopy = CanopyGrid::make(everywhere(ForestKind::conifer), {kSide, photo.pixels}, kZ, kX, y);
    ASSERT_EQ(canopy.side, kSide);
    const double height = valueAt(canopy, 500, 500) / 100.0;
    ASSERT_GT(height, 9);
    const double radius = std::clamp(0.3 * height, 1.5, 4.5) / metersPerPixel;

    // How far the crown reaches in each of 36 directions.
    constexpr int kDirections = 36;
    std::array<double, kDirections> reach{};
    for (int row = 480; row <= 520; ++row) {
        for (int column = 480; column <= 520; ++column) {
            if (valueAt(canopy, column, row) == 0)
                continue;
            const double dx = column - 500;
            const double dy = row - 500;
            const double angle = std::atan2(dy, dx) + std::numbers::pi;
            const int direction = std::min(int(angle / (2 * std::numbers::pi) * kDirections), kDirections - 1);
            reach[std::size_t(direction)] = std::max(reach[std::size_t(direction)], std::hypot(dx, dy));
        }
    }
    // Lobes reach past the radius, the gaps between them fall short of it.
    int lobes = 0;
    bool out = false;
    const auto shortest = std::size_t(std::min_element(reach.begin(), reach.end()) - reach.begin());
    for (std::size_t k = 0; k < kDirections; ++k) {
        const double distance = reach[(shortest + k) % kDirections];
        if (!out && distance > radius + 0.7) {
            out = true;
            ++lobes;
        } else if (out && distance < radius - 0.7) {
            out = false;
        }
    }
    EXPECT_EQ(lobes, 7) << "radius " << radius << " px";
}
