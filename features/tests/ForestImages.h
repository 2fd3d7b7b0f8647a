#pragma once

// Images for the forest tests, made in memory: inventory tiles painted in legend colours and
// aerial photos with dark tree crowns and bright shrubs on a meadow.

#include "platform/Image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>
#include <cstddef>
#include <functional>
#include <vector>

namespace forest_testing {

using Rgba = std::array<int, 4>;

inline platform::Image painted(int width, int height, const std::function<Rgba(int column, int row)>& colour)
{
    platform::Image image{width, height, {}};
    image.pixels.reserve(std::size_t(width) * std::size_t(height) * 4);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            for (int channel : colour(column, row))
                image.pixels.push_back(std::byte(channel));
        }
    }
    return image;
}

inline std::vector<std::byte> png(const platform::Image& image)
{
    auto bytes = platform::encodePng(image);
    EXPECT_TRUE(bytes);
    return bytes.value_or(std::vector<std::byte>{});
}

inline std::vector<std::byte> jpeg(const platform::Image& image)
{
    auto bytes = platform::encodeJpeg(image, 0.95);
    EXPECT_TRUE(bytes);
    return bytes.value_or(std::vector<std::byte>{});
}

// An inventory tile of one colour.
inline std::vector<std::byte> inventoryTile(Rgba colour)
{
    return png(painted(256, 256, [colour](int, int) { return colour; }));
}

inline constexpr Rgba kConiferColour{128, 128, 255, 255};
inline constexpr Rgba kHeathColour{255, 230, 191, 255};
inline constexpr Rgba kClear{0, 0, 0, 0};

inline constexpr Rgba kMeadow{80, 110, 70, 255};

// A crown is a 5 × 5 blob, darkest (or brightest) in its middle and lighter (or darker)
// outwards, so that it has one clear centre.
struct Blob {
    int column = 0;
    int row = 0;
};

inline constexpr std::array<Rgba, 3> kCrownRings{{{10, 30, 10, 255}, {20, 40, 20, 255}, {35, 55, 35, 255}}};
inline constexpr std::array<Rgba, 3> kShrubRings{{{130, 180, 105, 255}, {120, 170, 100, 255}, {105, 150, 90, 255}}};

// A meadow with a dark crown centred on each `dark` pixel and a bright shrub on each
// `bright` one; where blobs overlap, the first listed shows.
inline platform::Image aerialPhoto(int side, const std::vector<Blob>& dark, const std::vector<Blob>& bright = {})
{
    return painted(side, side, [&](int column, int row) {
        for (const auto& [blobs, rings] : {std::pair{&dark, &kCrownRings}, std::pair{&bright, &kShrubRings}}) {
            for (const Blob& blob : *blobs) {
                const int ring = std::max(std::abs(column - blob.column), std::abs(row - blob.row));
                if (ring <= 2)
                    return (*rings)[std::size_t(ring)];
            }
        }
        return kMeadow;
    });
}

} // namespace forest_testing
