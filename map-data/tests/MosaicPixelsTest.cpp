#include "map-data/MosaicPixels.h"

#include "PhotoImages.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using platform::Image;
using velorin::PixelMask;
using testing_support::imageOf;
using testing_support::Rgb;

namespace {

// Green bytes along each row chosen so that the pair (x, x + 1) is green exactly where
// `green(x, y)` says: equal greens for a green pair, a jump of 3 for any other.
Image pairsImage(int width, int height, const std::function<bool(int x, int y)>& green)
{
    std::vector<int> greens(std::size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        int g = 100;
        bool up = true;
        for (int x = 0; x < width; ++x) {
            greens[std::size_t(y) * width + x] = g;
            if (x + 1 < width && !green(x, y)) {
                g += up ? 3 : -3;
                up = !up;
            }
        }
    }
    return imageOf(width, height, [&](int x, int y) { return Rgb { 0, greens[std::size_t(y) * width + x], 0 }; });
}

std::string drawn(int width, const PixelMask& mask)
{
    std::string text;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        text += mask[i] ? '#' : '.';
        if ((i + 1) % std::size_t(width) == 0)
            text += '\n';
    }
    return text;
}

} // namespace

TEST(MosaicPixels, WhiteNeedsRedGreenAndBlueAllAt250)
{
    struct Case {
        Rgb colour;
        bool white;
    };
    for (auto c : { Case { { 250, 250, 250 }, true }, Case { { 255, 255, 255 }, true },
             Case { { 249, 255, 255 }, false }, Case { { 255, 249, 255 }, false },
             Case { { 255, 255, 249 }, false } }) {
        auto mask = velorin::whiteMask(imageOf(2, 1, [&](int x, int) { return x == 0 ? c.colour : Rgb { 0, 0, 0 }; }));
        EXPECT_EQ(mask, (PixelMask { c.white, 0 })) << c.colour.r << "," << c.colour.g << "," << c.colour.b;
    }
}

TEST(MosaicPixels, DilationSetsTheSquareAroundEachPixelClippedToTheImage)
{
    PixelMask mask(8 * 6);
    mask[0] = 1; // top-left corner
    mask[3 * 8 + 5] = 1; // (5, 3)
    EXPECT_EQ(drawn(8, velorin::dilateMask(8, 6, 2, mask)),
        "###.....\n"
        "########\n"
        "########\n"
        "...#####\n"
        "...#####\n"
        "...#####\n");
}

TEST(MosaicPixels, ImageryIsTexturedUnderAMaskBelow47PercentOfGreenPairs)
{
    // One row of 101 pixels: 100 pairs, the first `greenPairs` of them green.
    struct Case {
        int greenPairs;
        bool textured;
    };
    for (auto c : { Case { 46, true }, Case { 47, false }, Case { 0, true }, Case { 100, false } }) {
        auto image = pairsImage(101, 1, [&](int x, int) { return x < c.greenPairs; });
        EXPECT_EQ(velorin::isTexturedUnder(PixelMask(101, 1), image), c.textured) << c.greenPairs;
    }

    auto image = pairsImage(101, 1, [](int x, int) { return x >= 50; });
    PixelMask leftHalf(101);
    std::fill_n(leftHalf.begin(), 50, 1);
    EXPECT_TRUE(velorin::isTexturedUnder(leftHalf, image)) << "only pairs starting under the mask count";
    PixelMask lastColumn(101);
    lastColumn[100] = 1;
    EXPECT_FALSE(velorin::isTexturedUnder(lastColumn, image)) << "no pair at all";
}

TEST(MosaicPixels, A32PixelBlockIsFlatFrom80PercentOfGreenPairs)
{
    // 1024 pairs start in the top-left block; the rest of the 96 × 64 image is textured.
    struct Case {
        int blockX, blockY;
        int greenPairs;
        bool flat;
    };
    for (auto c : { Case { 0, 0, 820, true }, Case { 0, 0, 819, false }, Case { 32, 32, 820, true },
             Case { 64, 32, 31 * 32, true } }) {
        auto image = pairsImage(96, 64, [&](int x, int y) {
            int column = x - c.blockX;
            int row = y - c.blockY;
            return column >= 0 && column < 32 && row >= 0 && row < 32 && row * 32 + column < c.greenPairs;
        });
        EXPECT_EQ(velorin::hasFlatBlock(image), c.flat) << c.blockX << "," << c.blockY << ": " << c.greenPairs;
    }
    EXPECT_FALSE(velorin::hasFlatBlock(pairsImage(1, 40, [](int, int) { return true; }))) << "no pairs";
}

TEST(MosaicPixels, JpegRoundTripKeepsTheSizeAndColoursWhileNonImagesDecodeToNothing)
{
    auto image = imageOf(40, 24, [](int x, int) { return x < 20 ? Rgb { 200, 40, 40 } : Rgb { 30, 60, 220 }; });
    auto jpeg = velorin::encodeJPEG(image);
    ASSERT_TRUE(jpeg);
    auto decoded = velorin::decodeRGBX(*jpeg);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 40);
    EXPECT_EQ(decoded->height, 24);
    EXPECT_NEAR(int(decoded->pixels[(12 * 40 + 5) * 4]), 200, 6);
    EXPECT_NEAR(int(decoded->pixels[(12 * 40 + 35) * 4 + 2]), 220, 6);

    std::string text = "<html>busy</html>";
    EXPECT_FALSE(velorin::decodeRGBX(std::as_bytes(std::span(text))));
    EXPECT_FALSE(velorin::decodeRGBX({}));
    EXPECT_FALSE(velorin::encodeJPEG(Image {}));
}

TEST(MosaicPixels, AnEnlargedCropTakesItsEdgeColourAndBlendsBetweenPixels)
{
    // A 2 × 1 crop (black, then 200) out of a wider image, drawn 4 × 2.
    auto source = imageOf(4, 2, [](int x, int) { return Rgb { x == 1 ? 0 : x == 2 ? 200 : 255, 0, 0 }; });
    auto scaled = velorin::drawScaled(source, 1, 0, 2, 1, 4, 2);
    std::vector<int> reds;
    for (int x = 0; x < 4; ++x)
        reds.push_back(int(scaled.pixels[std::size_t(4 + x) * 4]));
    EXPECT_EQ(reds, (std::vector<int> { 0, 50, 150, 200 }));
}
