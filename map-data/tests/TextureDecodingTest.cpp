#include "map-data/TextureDecoding.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using velorin::decodeTexture;
using velorin::decodeTilePixels;

namespace {

std::vector<std::byte> fixture(const std::string& name)
{
    std::ifstream file(std::string(VELORIN_FIXTURES) + "/" + name, std::ios::binary);
    std::vector<char> chars((std::istreambuf_iterator<char>(file)), {});
    EXPECT_FALSE(chars.empty()) << name;
    auto bytes = std::as_bytes(std::span(chars));
    return {bytes.begin(), bytes.end()};
}

std::vector<std::byte> rgba(std::initializer_list<int> values)
{
    std::vector<std::byte> bytes;
    for (int v : values)
        bytes.push_back(std::byte(v));
    return bytes;
}

std::vector<std::byte> repeated(std::vector<std::byte> pixel, int count)
{
    std::vector<std::byte> bytes;
    for (int i = 0; i < count; ++i)
        bytes.insert(bytes.end(), pixel.begin(), pixel.end());
    return bytes;
}

// 16 × 8: two flat 8 × 8 halves, as libjpeg decodes them.
std::vector<std::byte> jpegPixels()
{
    std::vector<std::byte> bytes;
    for (int row = 0; row < 8; ++row) {
        auto left = repeated(rgba({40, 90, 159, 255}), 8);
        auto right = repeated(rgba({221, 200, 121, 255}), 8);
        bytes.insert(bytes.end(), left.begin(), left.end());
        bytes.insert(bytes.end(), right.begin(), right.end());
    }
    return bytes;
}

} // namespace

TEST(TextureDecoding, TilesBecomePremultipliedTexturesWithTheStoredValues)
{
    struct Case {
        std::string file;
        int width, height;
        std::vector<std::byte> pixels;
    };
    const Case cases[] = {
        // No colour-space conversion: the texture samples the file's own values.
        {"tile.jpg", 16, 8, jpegPixels()},
        // Grey (the slopes layer) spread over the three colours, opaque.
        {"grey.png", 4, 2,
            rgba({0, 0, 0, 255, 64, 64, 64, 255, 128, 128, 128, 255, 255, 255, 255, 255,
                10, 10, 10, 255, 20, 20, 20, 255, 30, 30, 30, 255, 40, 40, 40, 255})},
        // Straight red, half-transparent green, transparent blue, a faint brown.
        {"alpha.webp", 2, 2, rgba({255, 0, 0, 255, 0, 128, 0, 128, 0, 0, 0, 0, 40, 20, 10, 51})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto bytes = fixture(c.file);
        auto pixels = decodeTilePixels(bytes);
        ASSERT_TRUE(pixels);
        EXPECT_EQ(pixels->width, c.width);
        EXPECT_EQ(pixels->height, c.height);
        EXPECT_EQ(pixels->pixels, c.pixels);

        auto texture = decodeTexture(bytes);
        ASSERT_TRUE(texture);
        EXPECT_EQ(texture->format(), gpu::PixelFormat::rgba8);
        EXPECT_EQ(texture->width(), c.width);
        EXPECT_EQ(texture->height(), c.height);
        EXPECT_EQ(texture->byteSize(), c.pixels.size());
    }
}

TEST(TextureDecoding, BytesThatAreNoTileGiveNothing)
{
    auto jpeg = fixture("tile.jpg");
    auto garbage = rgba({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    struct Case {
        const char* what;
        std::vector<std::byte> bytes;
    };
    const Case cases[] = {
        {"the empty mark of a tile missing upstream", {}},
        {"garbage", garbage},
        {"a truncated JPEG", std::vector<std::byte>(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(jpeg.size() / 2))},
        // A valid image, but larger than any tile: refused before its pixels are allocated.
        {"a PNG of 8200 × 8200 pixels", fixture("oversized.png")},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(decodeTilePixels(c.bytes)) << c.what;
        EXPECT_FALSE(decodeTexture(c.bytes)) << c.what;
    }
}
