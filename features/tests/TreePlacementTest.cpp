#include "features/TreePlacement.h"

#include "ForestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

using namespace velorin;
using namespace forest_testing;
using Point = TreePlacement::CrownPoint;

namespace {

// A zoom-15 tile in the Jura, whose middle lies near 45° N.
constexpr int kZ = 15;
constexpr std::int64_t kX = 16860;
constexpr std::int64_t kY = 11787;

ForestKinds everywhere(ForestKind kind)
{
    return ForestKinds(kForestTilePixels, std::uint8_t(kind));
}

TreePlacement::Mosaic mosaicOf(const platform::Image& image)
{
    return {image.width, image.pixels};
}

} // namespace

TEST(TreePlacement, DrawsFromThePositionHash)
{
    struct Case {
        std::int64_t a;
        std::int64_t b;
        std::uint64_t seed;
        double u;
    };
    for (const Case& c : {
             Case{16860 << 12, 11744 << 12, TreePlacement::kGridEastSeed, 0.6179073192072686},
             Case{16860 << 12, 11744 << 12, TreePlacement::kGridSouthSeed, 0.7273402143821303},
             Case{16860 << 12, 11744 << 12, TreePlacement::kGridPresenceSeed, 0.43650239461306795},
             Case{0, 0, TreePlacement::kGridEastSeed, 0.4415220567002791},
         }) {
        EXPECT_DOUBLE_EQ(TreePlacement::draw(c.a, c.b, c.seed), c.u) << c.a << " " << c.b << " " << c.seed;
    }
}

TEST(TreePlacement, MeasuresATileAtItsMiddleRow)
{
    EXPECT_NEAR(TreePlacement::tileMeters(kZ, kY), 864.8, 0.05);
    const auto trees = TreePlacement::gridTrees(everywhere(ForestKind::conifer), kZ, kX, kY);
    EXPECT_EQ(trees.size(), 96u * 96u) << "a closed forest fills every cell of 9 m";
}

TEST(TreePlacement, BoxMeansAndMinimaMatchTheirWindowsClippedAtTheEdges)
{
    constexpr int kSide = 37;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(0, 255);
    std::vector<float> plane(kSide * kSide);
    for (float& v : plane)
        v = value(random);
    const auto at = [&](const std::vector<float>& p, int row, int column) { return p[std::size_t(row * kSide + column)]; };

    for (int radius : {1, 3, 7, 40}) {
        for (bool horizontal : {true, false}) {
            std::vector<float> blurred = plane;
            TreePlacement::boxBlur(blurred, horizontal, kSide, radius);
            for (int row = 0; row < kSide; ++row) {
                for (int column = 0; column < kSide; ++column) {
                    double sum = 0;
                    int count = 0;
                    for (int k = -radius; k <= radius; ++k) {
                        const int r = horizontal ? row : row + k;
                        const int c = horizontal ? column + k : column;
                        if (r >= 0 && r < kSide && c >= 0 && c < kSide) {
                            sum += at(plane, r, c);
                            ++count;
                        }
                    }
                    ASSERT_NEAR(at(blurred, row, column), sum / count, 1e-3) << radius << " " << row << " " << column;
                }
            }
        }
    }
    for (int radius : {1, 3, 5}) {
        const std::vector<float> lowest = TreePlacement::minimumFilter(plane, kSide, radius);
        for (int row = 0; row < kSide; ++row) {
            for (int column = 0; column < kSide; ++column) {
                float expected = std::numeric_limits<float>::infinity();
                for (int r = std::max(row - radius, 0); r <= std::min(row + radius, kSide - 1); ++r) {
                    for (int c = std::max(column - radius, 0); c <= std::min(column + radius, kSide - 1); ++c)
                        expected = std::min(expected, at(plane, r, c));
                }
                ASSERT_EQ(at(lowest, row, column), expected) << radius << " " << row << " " << column;
            }
        }
    }
}

TEST(TreePlacement, FindsOneCrownPerBlobAwayFromTheBorder)
{
    const std::vector<Blob> dark{{20, 20}, {50, 30}, {70, 70}, {1, 48}, {48, 94}};
    const std::vector<Blob> bright{{60, 30}, {20, 75}, {94, 10}};
    const platform::Image photo = aerialPhoto(96, dark, bright);
    const auto crowns = TreePlacement::detectCrowns(photo.pixels, 96);
    EXPECT_EQ(crowns.dark, (std::vector<Point>{{20, 20}, {50, 30}, {70, 70}}));
    EXPECT_EQ(crowns.bright, (std::vector<Point>{{60, 30}, {20, 75}}));
}

TEST(TreePlacement, TakesNoSecondCrownWithinThreePixelsOfOne)
{
    for (int apart = 1; apart <= 6; ++apart) {
        const platform::Image photo = aerialPhoto(64, {{30, 30}, {30 + apart, 30}, {30, 30 + apart}});
        const auto crowns = TreePlacement::detectCrowns(photo.pixels, 64).dark;
        ASSERT_FALSE(crowns.empty());
        EXPECT_EQ(crowns.front(), (Point{30, 30}));
        for (std::size_t i = 0; i < crowns.size(); ++i) {
            for (std::size_t j = i + 1; j < crowns.size(); ++j) {
                EXPECT_GT(std::max(std::abs(crowns[i].column - crowns[j].column), std::abs(crowns[i].row - crowns[j].row)), 3)
                    << apart << " apart";
            }
        }
        if (apart >= 4) {
            EXPECT_EQ(crowns.size(), 3u) << "crowns clear of each other's square are all found";
        }
    }
}

TEST(TreePlacement, DrawsTheTilesPhotosSideBySideIntoTheMosaic)
{
    std::vector<platform::Image> photos;
    for (int i = 0; i < 16; ++i)
        photos.push_back(painted(256, 256, [i](int, int) { return Rgba{i * 10, 0, 0, 255}; }));
    photos[5] = painted(128, 128, [](int, int) { return Rgba{0, 200, 0, 255}; });
    const auto mosaic = TreePlacement::orthophotoMosaic(photos);
    ASSERT_TRUE(mosaic);
    ASSERT_EQ(mosaic->side, 1024);
    const auto red = [&](int column, int row) { return int(mosaic->rgba[(std::size_t(row) * 1024 + column) * 4]); };
    EXPECT_EQ(red(3 * 256 + 10, 0), 30) << "the fourth photo ends the first row";
    EXPECT_EQ(red(2 * 256, 3 * 256 + 255), 140) << "the fifteenth starts the third column of the last row";
    EXPECT_EQ(int(mosaic->rgba[(std::size_t(256 + 255) * 1024 + 256 + 255) * 4 + 1]), 200) << "a small photo fills its place";
    EXPECT_FALSE(TreePlacement::orthophotoMosaic({}));
}

TEST(TreePlacement, PlacesATreePerDarkCrownExceptShadowsBesideShrubsInOpenGround)
{
    constexpr int kSide = 1024;
    const double meters = TreePlacement::tileMeters(kZ, kY);
    // A crown alone, and one with a shrub just beside it.
    const std::vector<Point> dark{{100, 200}, {400, 400}};
    const std::vector<Point> bright{{405, 402}};
    struct Case {
        ForestKind kind;
        std::size_t trees;
        float shape;
        double heightFactor;
    };
    for (const Case& c : {Case{ForestKind::conifer, 2, 0, 1}, Case{ForestKind::broadleaf, 2, 1, 1},
             Case{ForestKind::heath, 1, 0, 0.5}, Case{ForestKind::none, 1, 5, 1}, Case{ForestKind::oak, 2, 4, 1},
             Case{ForestKind::openBroadleaf, 1, 1, 0.5}}) {
        const auto trees = TreePlacement::crownTrees(dark, bright, everywhere(c.kind), kSide, kZ, kX, kY);
        ASSERT_EQ(trees.size(), c.trees) << int(c.kind);
        const auto& tree = trees.front();
        EXPECT_FLOAT_EQ(tree.x, float(100.5 / kSide * meters));
        EXPECT_FLOAT_EQ(tree.y, float(200.5 / kSide * meters));
        EXPECT_EQ(tree.shape, c.shape);
        const double base = c.shape == 0 ? 14 : 11;
        EXPECT_GE(tree.height, 0.7 * c.heightFactor * base - 1e-4);
        EXPECT_LE(tree.height, 1.3 * c.heightFactor * base + 1e-4);
        EXPECT_GE(tree.shade, 0);
        EXPECT_LT(tree.shade, 1);
    }
}

TEST(TreePlacement, PlacesAShrubPerBrightCrownOfOpenGroundOnly)
{
    const std::vector<Point> bright{{300, 300}, {700, 10}};
    for (ForestKind kind : {ForestKind::heath, ForestKind::openConifer, ForestKind::none}) {
        const auto shrubs = TreePlacement::crownShrubs(bright, everywhere(kind), 1024, kZ, kX, kY);
        ASSERT_EQ(shrubs.size(), 2u);
        for (const auto& shrub : shrubs) {
            EXPECT_EQ(shrub.shape, 2);
            EXPECT_GE(shrub.height, 0.5f);
            EXPECT_LT(shrub.height, 0.7f);
        }
    }
    EXPECT_TRUE(TreePlacement::crownShrubs(bright, everywhere(ForestKind::mixed), 1024, kZ, kX, kY).empty());
}

TEST(TreePlacement, ScattersGridTreesByTheKindUnderEachCell)
{
    const auto conifers = TreePlacement::gridTrees(everywhere(ForestKind::conifer), kZ, kX, kY);
    const double meters = TreePlacement::tileMeters(kZ, kY);
    for (const auto& tree : conifers) {
        ASSERT_EQ(tree.shape, 0);
        ASSERT_GE(tree.height, 0.7f * 14 - 1e-4f);
        ASSERT_LE(tree.height, 1.3f * 14 + 1e-4f);
        ASSERT_LT(tree.x, meters);
        ASSERT_LT(tree.y, meters);
    }
    EXPECT_EQ(conifers[97].x > 9 && conifers[97].x < 18 && conifers[97].y > 9 && conifers[97].y < 18, true)
        << "cell (1, 1) comes after the first row of 96";

    // Open forest: a third of the cells, at half height.
    const auto open = TreePlacement::gridTrees(everywhere(ForestKind::openConifer), kZ, kX, kY);
    EXPECT_NEAR(double(open.size()) / conifers.size(), 0.33, 0.03);
    EXPECT_TRUE(std::all_of(open.begin(), open.end(), [](const auto& tree) { return tree.height <= 0.65f * 14 + 1e-4f; }));

    // Mixed forest draws conifers and broadleaves.
    const auto mixed = TreePlacement::gridTrees(everywhere(ForestKind::mixed), kZ, kX, kY);
    const auto mixedConifers = std::count_if(mixed.begin(), mixed.end(), [](const auto& tree) { return tree.shape == 0; });
    EXPECT_NEAR(double(mixedConifers) / mixed.size(), 0.5, 0.05);

    // Half the tile heath, half without forest: nothing.
    ForestKinds bare = everywhere(ForestKind::heath);
    std::fill(bare.begin(), bare.begin() + kForestTilePixels / 2, std::uint8_t(ForestKind::none));
    EXPECT_TRUE(TreePlacement::gridTrees(bare, kZ, kX, kY).empty());
}

TEST(TreePlacement, GivesAHeathTileShrubsAndLoneCrownsOnlyWithItsPhotos)
{
    const ForestKinds heath = everywhere(ForestKind::heath);
    EXPECT_TRUE(TreePlacement::trees(heath, std::nullopt, kZ, kX, kY).empty());

    // A lone crown, a crown beside a shrub, and a second shrub.
    const auto photo = aerialPhoto(1024, {{200, 200}, {600, 600}}, {{606, 602}, {800, 100}});
    const auto trees = TreePlacement::trees(heath, mosaicOf(photo), kZ, kX, kY);
    ASSERT_EQ(trees.size(), 3u);
    EXPECT_EQ(trees[0].shape, 0) << "the lone crown, first";
    EXPECT_EQ(trees[1].shape, 2);
    EXPECT_EQ(trees[2].shape, 2);
}

TEST(TreePlacement, MakesTheSameTreesInTheSameOrderForTheSameTile)
{
    const auto photo = aerialPhoto(1024, {{200, 200}, {300, 310}, {900, 40}}, {{500, 500}});
    const ForestKinds kinds = everywhere(ForestKind::mixed);
    for (const auto& mosaic : {std::optional<TreePlacement::Mosaic>{}, std::optional{mosaicOf(photo)}}) {
        const auto first = TreePlacement::trees(kinds, mosaic, kZ, kX, kY);
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(TreePlacement::trees(kinds, mosaic, kZ, kX, kY), first);
        EXPECT_NE(TreePlacement::trees(kinds, mosaic, kZ, kX + 1, kY), first) << "another tile draws others";
    }
}
