#include "platform/Image.h"
#include "platform/ImageOrientation.h"

#include <gtest/gtest.h>
#include <png.h>
#include <webp/encode.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace platform;

namespace {

using Bytes = std::vector<std::byte>;

Image gradient(int width, int height)
{
    Image image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int v : {x * 255 / width, y * 255 / height, 128, 255})
                image.pixels.push_back(std::byte(v));
    return image;
}

Image solid(int width, int height, std::array<int, 4> rgba)
{
    Image image;
    image.width = width;
    image.height = height;
    for (int i = 0; i < width * height; ++i)
        for (int v : rgba)
            image.pixels.push_back(std::byte(v));
    return image;
}

std::array<int, 4> pixelAt(const Image& image, int x, int y)
{
    std::array<int, 4> rgba{};
    for (int c = 0; c < 4; ++c)
        rgba[c] = std::to_integer<int>(image.pixels[(size_t(y) * image.width + x) * 4 + c]);
    return rgba;
}

int largestDifference(const Image& a, const Image& b)
{
    int largest = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        largest = std::max(largest, std::abs(std::to_integer<int>(a.pixels[i]) - std::to_integer<int>(b.pixels[i])));
    return largest;
}

// A PNG of any colour type and depth, from raw rows, written with libpng itself.
struct PngLayout {
    int width;
    int height;
    int colourType;
    int bitDepth;
    std::vector<unsigned char> raw; // packed rows
    std::vector<png_color> palette = {};
    std::vector<unsigned char> transparency = {};
    bool interlaced = false;
};

Bytes writePng(const PngLayout& layout)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        ADD_FAILURE() << "libpng could not write the fixture";
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t size) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), reinterpret_cast<std::byte*>(data), reinterpret_cast<std::byte*>(data) + size);
        },
        nullptr);
    png_set_IHDR(png, info, layout.width, layout.height, layout.bitDepth, layout.colourType,
        layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
    if (!layout.transparency.empty())
        png_set_tRNS(png, info, layout.transparency.data(), int(layout.transparency.size()), nullptr);
    png_write_info(png, info);
    const size_t rowBytes = layout.raw.size() / layout.height;
    std::vector<png_bytep> rows;
    for (int y = 0; y < layout.height; ++y)
        rows.push_back(const_cast<png_bytep>(layout.raw.data() + y * rowBytes));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes encodeWebpLossless(const Image& image)
{
    uint8_t* output = nullptr;
    const size_t size = WebPEncodeLosslessRGBA(reinterpret_cast<const uint8_t*>(image.pixels.data()), image.width,
        image.height, image.width * 4, &output);
    Bytes bytes(reinterpret_cast<std::byte*>(output), reinterpret_cast<std::byte*>(output) + size);
    WebPFree(output);
    return bytes;
}

Bytes encodeIn(ImageFormat format, const Image& image)
{
    switch (format) {
    case ImageFormat::jpeg:
        return encodeJpeg(image, 0.9).value();
    case ImageFormat::png:
        return encodePng(image).value();
    case ImageFormat::webp:
        return encodeWebpLossless(image);
    }
    return {};
}

// How far a decoded pixel may stray from the original: JPEG is lossy, the others are not.
int toleranceOf(ImageFormat format)
{
    return format == ImageFormat::jpeg ? 16 : 0;
}

const std::vector<ImageFormat> kFormats = {ImageFormat::jpeg, ImageFormat::png, ImageFormat::webp};

} // namespace

TEST(Image, EveryFormatDecodesBackToItsPixels)
{
    const Image original = gradient(64, 48);
    for (auto format : kFormats) {
        SCOPED_TRACE(int(format));
        const Bytes bytes = encodeIn(format, original);
        const auto info = probeImage(bytes);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->format, format);
        EXPECT_EQ(info->width, 64);
        EXPECT_EQ(info->height, 48);

        const auto decoded = decodeImage(bytes);
        ASSERT_TRUE(decoded);
        ASSERT_EQ(decoded->width, 64);
        ASSERT_EQ(decoded->height, 48);
        ASSERT_EQ(decoded->byteSize(), 64u * 48 * 4);
        EXPECT_LE(largestDifference(*decoded, original), toleranceOf(format));
    }
}

TEST(Image, PngColourTypesBecomeStraightRgba)
{
    struct Case {
        const char* name;
        PngLayout layout;
        std::array<int, 4> expected; // the last pixel
    };
    const std::vector<Case> cases = {
        {"grey", {1, 1, PNG_COLOR_TYPE_GRAY, 8, {0x40}}, {0x40, 0x40, 0x40, 255}},
        {"grey, one bit", {2, 1, PNG_COLOR_TYPE_GRAY, 1, {0x40}}, {255, 255, 255, 255}},
        {"grey and alpha", {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0x80, 0x20}}, {0x80, 0x80, 0x80, 0x20}},
        {"indexed with transparency", {2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1}, {{10, 20, 30}, {200, 100, 50}}, {255, 0x7F}},
            {200, 100, 50, 0x7F}},
        {"16-bit RGB", {1, 1, PNG_COLOR_TYPE_RGB, 16, {0x80, 0x80, 0xFF, 0xFF, 0x00, 0x00}}, {128, 255, 0, 255}},
        {"16-bit grey and alpha", {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0xFF, 0xFF, 0x80, 0x80}}, {255, 255, 255, 128}},
        {"interlaced RGB", {3, 3, PNG_COLOR_TYPE_RGB, 8, std::vector<unsigned char>(27, 7), {}, {}, true}, {7, 7, 7, 255}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = decodeImage(writePng(c.layout));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->width, c.layout.width);
        EXPECT_EQ(decoded->height, c.layout.height);
        EXPECT_EQ(pixelAt(*decoded, c.layout.width - 1, c.layout.height - 1), c.expected);
    }
}

TEST(Image, DamagedInputGivesNothingNeverAPartialImage)
{
    std::mt19937 random(7);
    for (auto format : kFormats) {
        SCOPED_TRACE(int(format));
        const Bytes valid = encodeIn(format, gradient(64, 48));
        std::vector<Bytes> damaged = {{}, {valid[0]}};
        Bytes wrongSignature = valid;
        wrongSignature[1] = std::byte(0x00);
        damaged.push_back(wrongSignature);
        for (size_t eighth = 1; eighth < 8; ++eighth)
            damaged.emplace_back(valid.begin(), valid.begin() + valid.size() * eighth / 8);
        damaged.emplace_back(valid.begin(), valid.end() - 1);
        Bytes garbage(valid.begin(), valid.begin() + 16); // a plausible signature, then noise
        for (int i = 0; i < 4000; ++i)
            garbage.push_back(std::byte(random()));
        damaged.push_back(garbage);

        for (size_t i = 0; i < damaged.size(); ++i) {
            SCOPED_TRACE(damaged[i].size());
            EXPECT_FALSE(decodeImage(damaged[i]));
        }
    }
}

TEST(Image, TooManyPixelsAreRefusedBeforeAnyAllocation)
{
    for (auto format : kFormats) {
        SCOPED_TRACE(int(format));
        const Bytes bytes = encodeIn(format, gradient(64, 48));
        EXPECT_FALSE(decodeImage(bytes, {.maxPixels = 64 * 48 - 1}));
        EXPECT_TRUE(decodeImage(bytes, {.maxPixels = 64 * 48}));
    }

    // A PNG header announcing 100,000 × 100,000 pixels, and nothing else: its 40 GB are never asked for.
    Bytes header = writePng({1, 1, PNG_COLOR_TYPE_GRAY, 8, {0}});
    header.resize(33);
    const unsigned char huge[] = {0x00, 0x01, 0x86, 0xA0}; // 100,000, big-endian
    std::memcpy(header.data() + 16, huge, 4);
    std::memcpy(header.data() + 20, huge, 4);
    const uint32_t crc = png_uint_32(crc32(0, reinterpret_cast<const unsigned char*>(header.data()) + 12, 17));
    for (int i = 0; i < 4; ++i)
        header[29 + i] = std::byte(crc >> (24 - 8 * i));
    const auto info = probeImage(header);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 100'000);
    EXPECT_FALSE(decodeImage(header));
}

TEST(Image, ScaledDecodeFitsTheLongerSideAndNeverEnlarges)
{
    struct Case {
        int maxDimension;
        int width;
        int height;
    };
    const Image original = solid(400, 200, {200, 60, 30, 255});
    for (auto format : kFormats) {
        const Bytes bytes = encodeIn(format, original);
        for (auto c : {Case{100, 100, 50}, Case{150, 150, 75}, Case{400, 400, 200}, Case{1000, 400, 200}}) {
            SCOPED_TRACE(std::to_string(int(format)) + " to " + std::to_string(c.maxDimension));
            const auto decoded = decodeImage(bytes, {.maxDimension = c.maxDimension});
            ASSERT_TRUE(decoded);
            EXPECT_EQ(decoded->width, c.width);
            EXPECT_EQ(decoded->height, c.height);
            const auto centre = pixelAt(*decoded, c.width / 2, c.height / 2);
            for (int channel = 0; channel < 4; ++channel)
                EXPECT_NEAR(centre[channel], std::to_integer<int>(original.pixels[channel]), toleranceOf(format) / 4 + 1);
        }
    }
}

TEST(Image, ShrinkingNeverLetsTransparentPixelsTintTheirNeighbours)
{
    // An opaque red pixel beside a fully transparent green one, shrunk to one pixel.
    Image pair;
    pair.width = 2;
    pair.height = 1;
    for (int v : {255, 0, 0, 255, 0, 255, 0, 0})
        pair.pixels.push_back(std::byte(v));
    const auto shrunk = decodeImage(encodePng(pair).value(), {.maxDimension = 1});
    ASSERT_TRUE(shrunk);
    ASSERT_EQ(shrunk->width, 1);
    EXPECT_EQ(pixelAt(*shrunk, 0, 0), (std::array<int, 4>{255, 0, 0, 128}));
}

TEST(Image, JpegQualityTradesSizeForFidelity)
{
    Image noisy = gradient(64, 64);
    std::mt19937 random(3);
    for (size_t i = 0; i < noisy.pixels.size(); i += 4)
        noisy.pixels[i + 2] = std::byte(random());
    const auto low = encodeJpeg(noisy, 0.2);
    const auto high = encodeJpeg(noisy, 0.95);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size());
    EXPECT_LT(largestDifference(decodeImage(*high).value(), noisy), largestDifference(decodeImage(*low).value(), noisy));
    // Out of range is clamped, not refused.
    EXPECT_TRUE(encodeJpeg(noisy, 1.5));
    EXPECT_TRUE(encodeJpeg(noisy, -1));
}

TEST(Image, EncodersRefuseImagesWhosePixelsDoNotMatchTheirSize)
{
    Image shortPixels = gradient(8, 8);
    shortPixels.pixels.resize(10);
    Image empty;
    for (const auto& image : {shortPixels, empty}) {
        EXPECT_FALSE(encodeJpeg(image, 0.8));
        EXPECT_FALSE(encodePng(image));
    }
    EXPECT_FALSE(encodeJpeg(gradient(8, 8), std::nan("")));
}

TEST(ImageOrientation, EachExifOrientationStandsThePictureUpright)
{
    // Stored as "abc" over "def"; each case lists the upright rows.
    struct Case {
        int orientation;
        std::vector<std::string> rows;
    };
    Image stored { 3, 2, {} };
    for (char letter : std::string("abcdef"))
        for (int channel = 0; channel < 4; ++channel)
            stored.pixels.push_back(std::byte(letter));
    for (const Case& c : {
             Case { 0, { "abc", "def" } },
             Case { 1, { "abc", "def" } },
             Case { 2, { "cba", "fed" } },
             Case { 3, { "fed", "cba" } },
             Case { 4, { "def", "abc" } },
             Case { 5, { "ad", "be", "cf" } },
             Case { 6, { "da", "eb", "fc" } },
             Case { 7, { "fc", "eb", "da" } },
             Case { 8, { "cf", "be", "ad" } },
             Case { 9, { "abc", "def" } },
         }) {
        SCOPED_TRACE(c.orientation);
        const Image upright = uprightImage(stored, c.orientation);
        ASSERT_EQ(upright.height, int(c.rows.size()));
        ASSERT_EQ(upright.width, int(c.rows[0].size()));
        EXPECT_EQ(orientationSwapsAxes(c.orientation), upright.width != stored.width);
        std::vector<std::string> rows;
        for (int y = 0; y < upright.height; ++y) {
            rows.emplace_back();
            for (int x = 0; x < upright.width; ++x)
                rows.back().push_back(char(upright.pixels[(std::size_t(y) * std::size_t(upright.width) + std::size_t(x)) * 4]));
        }
        EXPECT_EQ(rows, c.rows);
    }
}
