#include "map-data/MosaicPixels.h"

#include "map-data/TextureDecoding.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <tuple>

namespace velorin {

namespace {

constexpr std::size_t kBytesPerPixel = 4;
constexpr std::size_t kGreen = 1;

const std::uint8_t* bytesOf(const platform::Image& image)
{
    return reinterpret_cast<const std::uint8_t*>(image.pixels.data());
}

std::uint8_t* bytesOf(platform::Image& image) { return reinterpret_cast<std::uint8_t*>(image.pixels.data()); }

bool isGreenPair(const std::uint8_t* left)
{
    return std::abs(int(left[kGreen]) - int(left[kBytesPerPixel + kGreen])) <= kGreenPairTolerance;
}

struct PairCount {
    std::size_t green = 0;
    std::size_t all = 0;
};

// Pairs whose left pixel lies in columns [fromX, toX) of rows [fromY, toY); the caller
// keeps toX below the last column.
PairCount countPairs(const platform::Image& image, int fromX, int toX, int fromY, int toY)
{
    PairCount count;
    const auto* pixels = bytesOf(image);
    for (int y = fromY; y < toY; ++y) {
        const auto* row = pixels + std::size_t(y) * std::size_t(image.width) * kBytesPerPixel;
        for (int x = fromX; x < toX; ++x) {
            count.green += isGreenPair(row + std::size_t(x) * kBytesPerPixel);
            ++count.all;
        }
    }
    return count;
}

} // namespace

PixelMask whiteMask(const platform::Image& image)
{
    std::size_t count = std::size_t(image.width) * std::size_t(image.height);
    PixelMask mask(count);
    const auto* pixel = bytesOf(image);
    for (std::size_t i = 0; i < count; ++i, pixel += kBytesPerPixel)
        mask[i] = pixel[0] >= kWhiteMinimumLevel && pixel[1] >= kWhiteMinimumLevel && pixel[2] >= kWhiteMinimumLevel;
    return mask;
}

PixelMask dilateMask(int width, int height, int radius, const PixelMask& mask)
{
    assert(mask.size() == std::size_t(width) * std::size_t(height));
    // A square is a row of pixels swept over a column: dilate each row, then each column.
    PixelMask rows(mask.size());
    for (int y = 0; y < height; ++y) {
        const auto* source = mask.data() + std::size_t(y) * std::size_t(width);
        auto* target = rows.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x) {
            if (!source[x])
                continue;
            std::fill(target + std::max(0, x - radius), target + std::min(width, x + radius + 1), 1);
        }
    }
    PixelMask square(mask.size());
    for (int y = 0; y < height; ++y) {
        const auto* source = rows.data() + std::size_t(y) * std::size_t(width);
        for (int row = std::max(0, y - radius); row < std::min(height, y + radius + 1); ++row) {
            auto* target = square.data() + std::size_t(row) * std::size_t(width);
            for (int x = 0; x < width; ++x)
                target[x] |= source[x];
        }
    }
    return square;
}

bool isTexturedUnder(const PixelMask& mask, const platform::Image& image)
{
    assert(mask.size() == std::size_t(image.width) * std::size_t(image.height));
    PairCount count;
    const auto* pixels = bytesOf(image);
    for (int y = 0; y < image.height; ++y) {
        std::size_t rowStart = std::size_t(y) * std::size_t(image.width);
        for (int x = 0; x + 1 < image.width; ++x) {
            if (!mask[rowStart + std::size_t(x)])
                continue;
            count.green += isGreenPair(pixels + (rowStart + std::size_t(x)) * kBytesPerPixel);
            ++count.all;
        }
    }
    return count.all > 0 && double(count.green) / double(count.all) < kTexturedGreenPairShare;
}

bool hasFlatBlock(const platform::Image& image)
{
    for (int top = 0; top < image.height; top += kFlatBlockSidePixels) {
        for (int left = 0; left <= image.width - 2; left += kFlatBlockSidePixels) {
            auto count = countPairs(image, left, std::min(left + kFlatBlockSidePixels, image.width - 1), top,
                std::min(top + kFlatBlockSidePixels, image.height));
            if (count.all > 0 && double(count.green) / double(count.all) >= kFlatGreenPairShare)
                return true;
        }
    }
    return false;
}

std::optional<platform::Image> decodeRGBX(std::span<const std::byte> data)
{
    // Premultiplied pixels are the image drawn over black, as an opaque photo is drawn.
    return decodeTilePixels(data);
}

std::optional<std::vector<std::byte>> encodeJPEG(const platform::Image& image)
{
    return platform::encodeJpeg(image, kMosaicJpegQuality);
}

platform::Image drawScaled(const platform::Image& source, int x, int y, int cropWidth, int cropHeight, int width,
    int height)
{
    assert(x >= 0 && y >= 0 && cropWidth > 0 && cropHeight > 0 && x + cropWidth <= source.width
        && y + cropHeight <= source.height);
    platform::Image result { width, height, std::vector<std::byte>(std::size_t(width) * height * kBytesPerPixel) };
    const auto* from = bytesOf(source);
    auto* to = bytesOf(result);
    // Pixel centres map onto pixel centres; samples beyond the crop take its edge.
    auto sample = [](int target, int cropStart, int cropSize, int targetSize) {
        double position = (target + 0.5) * cropSize / targetSize - 0.5;
        position = std::clamp(position, 0.0, double(cropSize - 1));
        int low = int(position);
        int high = std::min(low + 1, cropSize - 1);
        return std::tuple { cropStart + low, cropStart + high, position - low };
    };
    for (int row = 0; row < height; ++row) {
        auto [top, bottom, down] = sample(row, y, cropHeight, height);
        const auto* topRow = from + std::size_t(top) * std::size_t(source.width) * kBytesPerPixel;
        const auto* bottomRow = from + std::size_t(bottom) * std::size_t(source.width) * kBytesPerPixel;
        for (int column = 0; column < width; ++column) {
            auto [left, right, across] = sample(column, x, cropWidth, width);
            auto* target = to + (std::size_t(row) * std::size_t(width) + std::size_t(column)) * kBytesPerPixel;
            for (std::size_t channel = 0; channel < kBytesPerPixel; ++channel) {
                double upper = topRow[std::size_t(left) * kBytesPerPixel + channel] * (1 - across)
                    + topRow[std::size_t(right) * kBytesPerPixel + channel] * across;
                double lower = bottomRow[std::size_t(left) * kBytesPerPixel + channel] * (1 - across)
                    + bottomRow[std::size_t(right) * kBytesPerPixel + channel] * across;
                target[channel] = std::uint8_t(std::lround(upper * (1 - down) + lower * down));
            }
        }
    }
    return result;
}

void copyColours(platform::Image& target, const platform::Image& source, const PixelMask& where)
{
    assert(target.width == source.width && target.height == source.height
        && where.size() == std::size_t(target.width) * std::size_t(target.height));
    auto* to = bytesOf(target);
    const auto* from = bytesOf(source);
    for (std::size_t i = 0; i < where.size(); ++i) {
        if (where[i])
            std::copy_n(from + i * kBytesPerPixel, 3, to + i * kBytesPerPixel);
    }
}

} // namespace velorin
