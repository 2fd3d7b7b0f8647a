#include "map-data/AerialCoverage.h"
#include "map-data/AerialMosaic.h"
#include "map-data/TileSources.h"

#include "PhotoImages.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using platform::Image;
using velorin::AerialMosaic;
using velorin::Basemap;
using namespace testing_support;

namespace {

class AerialMosaicTest : public ::testing::Test {
protected:
    velorin::ServiceHosts hosts;
    std::map<std::string, std::vector<std::byte>> files;
    std::vector<std::string> fetched;
    AerialMosaic mosaic { hosts, [](const std::string& url) { return "relay/" + url; },
        [this](const std::string& url) -> std::optional<std::vector<std::byte>> {
            fetched.push_back(url);
            auto file = files.find(url);
            if (file == files.end())
                return std::nullopt;
            return file->second;
        } };

    static std::string url(Basemap basemap, int64_t z, int64_t x, int64_t y)
    {
        return "relay/" + *velorin::basemapTileURL(velorin::ServiceHosts {}, basemap, z, x, y);
    }
    void serve(Basemap basemap, int64_t z, int64_t x, int64_t y, const Image& image)
    {
        files[url(basemap, z, x, y)] = jpegOf(image);
    }
};

// Near Geneva: Swiss imagery only.
constexpr int64_t kGenevaZ = 13, kGenevaX = 4235, kGenevaY = 2907;
// Paris: no neighbouring imagery.
constexpr int64_t kParisZ = 16, kParisX = 33195, kParisY = 22548;

} // namespace

TEST(AerialCoverageBounds, JoinTheThreeBoxesInWorldUnits)
{
    auto bounds = velorin::aerialCoverageBounds();
    auto northWest = velorin::WorldPoint::fromLatitudeLongitude(49.1, -9.5);
    auto southEast = velorin::WorldPoint::fromLatitudeLongitude(35.8, 17.2);
    EXPECT_DOUBLE_EQ(bounds.minX, northWest.x);
    EXPECT_DOUBLE_EQ(bounds.minY, northWest.y);
    EXPECT_DOUBLE_EQ(bounds.maxX, southEast.x);
    EXPECT_DOUBLE_EQ(bounds.maxY, southEast.y);
}

TEST_F(AerialMosaicTest, AWhiteAreaTakesTheTexturedNeighboursPixelsAndTheRestStays)
{
    ASSERT_EQ(velorin::coverageSources(kGenevaZ, kGenevaX, kGenevaY), std::vector<Basemap> { Basemap::swissImage });
    serve(Basemap::swissImage, kGenevaZ, kGenevaX, kGenevaY, texturedPhoto());
    auto tile = imageOf(256, 256, [](int x, int) { return x < 128 ? kWhite : kGrey; });

    auto composed = mosaic.fillFromNeighbours(jpegOf(tile), kGenevaZ, kGenevaX, kGenevaY);

    ASSERT_TRUE(composed);
    auto pixels = velorin::decodeRGBX(*composed);
    ASSERT_TRUE(pixels);
    EXPECT_NEAR(meanOf(*pixels, 0, 0, 120, 0, 256), kTexturedColour.r, 4);
    EXPECT_NEAR(meanOf(*pixels, 1, 0, 120, 0, 256), kTexturedColour.g, 4);
    EXPECT_NEAR(meanOf(*pixels, 2, 0, 120, 0, 256), kTexturedColour.b, 4);
    EXPECT_NEAR(meanOf(*pixels, 2, 140, 256, 0, 256), kGrey.b, 4) << "the photo outside the white area stays";
    EXPECT_EQ(fetched, (std::vector { url(Basemap::swissImage, kGenevaZ, kGenevaX, kGenevaY) }));
}

TEST_F(AerialMosaicTest, FillingStartsAt64WhitePixels)
{
    serve(Basemap::swissImage, kGenevaZ, kGenevaX, kGenevaY, texturedPhoto(64));
    for (int whitePixels : { 63, 64 }) {
        fetched.clear();
        auto tile = imageOf(64, 64, [&](int x, int y) { return y * 64 + x < whitePixels ? kWhite : kGrey; });
        auto composed = mosaic.fillFromNeighbours(pngOf(tile), kGenevaZ, kGenevaX, kGenevaY);
        EXPECT_EQ(composed.has_value(), whitePixels == 64) << whitePixels;
        EXPECT_EQ(fetched.size(), whitePixels == 64 ? 1U : 0U) << whitePixels;
    }
}

TEST_F(AerialMosaicTest, NeighboursThatAreFlatMissingOrOfAnotherSizeGiveWayToTheAncestorCrop)
{
    struct Case {
        std::string name;
        std::optional<Image> swiss;
        std::optional<Image> ancestor;
        std::optional<Rgb> filledWith;
    };
    const Rgb kAncestorColour { 200, 150, 30 };
    const auto whiteTile = pngOf(solidPhoto(kWhite));
    const auto swissURL = url(Basemap::swissImage, kGenevaZ, kGenevaX, kGenevaY);
    const auto ancestorURL = url(Basemap::orthophoto, 12, kGenevaX >> 1, kGenevaY >> 1);
    for (const auto& c : std::vector<Case> {
             { "textured", texturedPhoto(), solidPhoto(kAncestorColour, 512), kTexturedColour },
             { "flat", solidPhoto(kWhite), solidPhoto(kAncestorColour, 512), kAncestorColour },
             { "smaller", texturedPhoto(128), solidPhoto(kAncestorColour, 512), kAncestorColour },
             { "missing", std::nullopt, solidPhoto(kAncestorColour, 512), kAncestorColour },
             { "flat, white ancestor", solidPhoto(kWhite), solidPhoto(kWhite, 512), std::nullopt },
             { "flat, no ancestor", solidPhoto(kWhite), std::nullopt, std::nullopt },
         }) {
        files.clear();
        fetched.clear();
        if (c.swiss)
            files[swissURL] = pngOf(*c.swiss);
        if (c.ancestor)
            files[ancestorURL] = pngOf(*c.ancestor);

        auto composed = mosaic.fillFromNeighbours(whiteTile, kGenevaZ, kGenevaX, kGenevaY);

        ASSERT_EQ(composed.has_value(), c.filledWith.has_value()) << c.name;
        std::vector<std::string> expectedFetches { swissURL };
        if (c.filledWith != kTexturedColour)
            expectedFetches.push_back(ancestorURL);
        EXPECT_EQ(fetched, expectedFetches) << c.name;
        if (!composed)
            continue;
        auto pixels = *velorin::decodeRGBX(*composed);
        EXPECT_NEAR(meanOf(pixels, 0, 0, 256, 0, 256), c.filledWith->r, 4) << c.name;
        EXPECT_NEAR(meanOf(pixels, 2, 0, 256, 0, 256), c.filledWith->b, 4) << c.name;
    }
}

TEST_F(AerialMosaicTest, TilesOutsideTheNeighboursReachAsNothingAtCoarseLevels)
{
    struct Case {
        int64_t z, x, y;
    };
    // Paris at level 10; Geneva at level 7, above the Swiss imagery's levels.
    for (auto c : { Case { 10, kParisX >> 6, kParisY >> 6 }, Case { 7, kGenevaX >> 6, kGenevaY >> 6 } }) {
        files.clear();
        fetched.clear();
        serve(Basemap::swissImage, c.z, c.x, c.y, texturedPhoto());
        EXPECT_FALSE(mosaic.fillFromNeighbours(pngOf(solidPhoto(kWhite)), c.z, c.x, c.y)) << c.z;
        EXPECT_FALSE(mosaic.substitutePhotoTile(c.z, c.x, c.y)) << c.z;
        EXPECT_TRUE(fetched.empty()) << c.z;
    }
}

TEST_F(AerialMosaicTest, AMissingTileIsTheTexturedNeighbourAsFetchedOrTheAncestorEnlargedUpToLevel16)
{
    const auto swiss = pngOf(texturedPhoto());
    files[url(Basemap::swissImage, kGenevaZ, kGenevaX, kGenevaY)] = swiss;
    EXPECT_EQ(mosaic.substitutePhotoTile(kGenevaZ, kGenevaX, kGenevaY), swiss);

    // The level-12 ancestor of a Paris tile: grey, but red on the 16 × 16 pixels of that tile.
    const Rgb kRed { 210, 30, 30 };
    auto left = int(kParisX % 16) * 16;
    auto top = int(kParisY % 16) * 16;
    serve(Basemap::orthophoto, 12, kParisX >> 4, kParisY >> 4, imageOf(256, 256, [&](int x, int y) {
        return x >= left && x < left + 16 && y >= top && y < top + 16 ? kRed : kGrey;
    }));
    auto substitute = mosaic.substitutePhotoTile(kParisZ, kParisX, kParisY);
    ASSERT_TRUE(substitute);
    auto pixels = *velorin::decodeRGBX(*substitute);
    EXPECT_EQ(pixels.width, 256);
    EXPECT_EQ(pixels.height, 256);
    EXPECT_NEAR(meanOf(pixels, 0, 32, 224, 32, 224), kRed.r, 12) << "the crop fills the tile";

    fetched.clear();
    serve(Basemap::orthophoto, 12, kParisX >> 5, kParisY >> 5, solidPhoto(kGrey));
    EXPECT_FALSE(mosaic.substitutePhotoTile(kParisZ + 1, kParisX * 2, kParisY * 2));
    EXPECT_TRUE(fetched.empty()) << "a 32 × 32 enlargement is not worth fetching";
}

TEST_F(AerialMosaicTest, FlatAreasOfANeighboursTileTakeTheOrthophotoOfTheirPlace)
{
    // A Swiss tile at level 21, beyond the orthophoto's deepest level: its place is one of
    // the sixteen 64-pixel squares of a level-19 tile.
    constexpr int64_t z = 21, x = 1092266, y = 741875;
    const Rgb kOrthophotoColour { 30, 170, 60 };
    serve(Basemap::orthophoto, 19, x >> 2, y >> 2, imageOf(256, 256, [&](int px, int py) {
        int quarterX = int(x % 4) * 64;
        int quarterY = int(y % 4) * 64;
        return px >= quarterX && px < quarterX + 64 && py >= quarterY && py < quarterY + 64 ? kOrthophotoColour
                                                                                           : kGrey;
    }));
    // Textured, with a white band over its bottom half.
    auto swiss = imageOf(256, 256, [](int x, int y) { return y >= 128 ? kWhite : texturedPixel(x); });

    auto repaired = mosaic.fillFlatAreas(pngOf(swiss), z, x, y);

    ASSERT_TRUE(repaired);
    auto pixels = *velorin::decodeRGBX(*repaired);
    EXPECT_NEAR(meanOf(pixels, 1, 16, 240, 144, 240), kOrthophotoColour.g, 12);
    EXPECT_NEAR(meanOf(pixels, 2, 16, 240, 16, 112), kTexturedColour.b, 4) << "textured pixels stay";

    fetched.clear();
    EXPECT_FALSE(mosaic.fillFlatAreas(pngOf(texturedPhoto()), z, x, y));
    EXPECT_TRUE(fetched.empty()) << "no flat block, nothing fetched";
}
