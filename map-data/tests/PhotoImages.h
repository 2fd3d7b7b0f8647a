#pragma once

// Small photo tiles made in code for the aerial mosaic's tests: solid colours, a textured
// photo, and the mean of a channel over a rectangle to read back what JPEG kept.

#include "map-data/MosaicPixels.h"
#include "platform/Image.h"

#include <functional>
#include <vector>

namespace testing_support {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

inline const Rgb kWhite { 255, 255, 255 };
inline const Rgb kGrey { 90, 90, 90 };
// The colour of `texturedPhoto`, whose green alternates 60 and 120 from column to column.
inline const Rgb kTexturedColour { 40, 90, 160 };

inline platform::Image imageOf(int width, int height, const std::function<Rgb(int x, int y)>& colour)
{
    platform::Image image { width, height, std::vector<std::byte>(std::size_t(width) * height * 4) };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            auto c = colour(x, y);
            auto* pixel = &image.pixels[(std::size_t(y) * width + x) * 4];
            pixel[0] = std::byte(c.r);
            pixel[1] = std::byte(c.g);
            pixel[2] = std::byte(c.b);
            pixel[3] = std::byte(255);
        }
    }
    return image;
}

inline platform::Image solidPhoto(Rgb colour, int side = 256)
{
    return imageOf(side, side, [&](int, int) { return colour; });
}

// No two side-by-side pixels have close greens: textured everywhere.
inline Rgb texturedPixel(int x) { return { kTexturedColour.r, x % 2 ? 120 : 60, kTexturedColour.b }; }
inline platform::Image texturedPhoto(int side = 256)
{
    return imageOf(side, side, [](int x, int) { return texturedPixel(x); });
}

inline std::vector<std::byte> jpegOf(const platform::Image& image) { return *velorin::encodeJPEG(image); }
// Lossless, for tiles whose exact pixels matter.
inline std::vector<std::byte> pngOf(const platform::Image& image) { return *platform::encodePng(image); }

// The mean of channel 0 (red), 1 (green) or 2 (blue) over columns [fromX, toX) of rows
// [fromY, toY).
inline double meanOf(const platform::Image& image, int channel, int fromX, int toX, int fromY, int toY)
{
    double sum = 0;
    for (int y = fromY; y < toY; ++y)
        for (int x = fromX; x < toX; ++x)
            sum += double(image.pixels[(std::size_t(y) * image.width + x) * 4 + channel]);
    return sum / ((toX - fromX) * (toY - fromY));
}

} // namespace testing_support
