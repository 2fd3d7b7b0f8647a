#include "platform/ImageOrientation.h"

#include <cstring>

namespace platform {

bool orientationSwapsAxes(int exifOrientation)
{
    return exifOrientation >= 5 && exifOrientation <= 8;
}

Image uprightImage(Image stored, int exifOrientation)
{
    if (exifOrientation < 2 || exifOrientation > 8)
        return stored;
    const int w = stored.width;
    const int h = stored.height;
    const bool swaps = orientationSwapsAxes(exifOrientation);
    Image upright { swaps ? h : w, swaps ? w : h, std::vector<std::byte>(stored.pixels.size()) };
    // For each upright pixel (x, y), where it was stored.
    auto source = [&](int x, int y) -> std::pair<int, int> {
        switch (exifOrientation) {
        case 2: return { w - 1 - x, y };
        case 3: return { w - 1 - x, h - 1 - y };
        case 4: return { x, h - 1 - y };
        case 5: return { y, x };
        case 6: return { y, h - 1 - x };
        case 7: return { w - 1 - y, h - 1 - x };
        default: return { w - 1 - y, x };
        }
    };
    for (int y = 0; y < upright.height; ++y) {
        for (int x = 0; x < upright.width; ++x) {
            const auto [sx, sy] = source(x, y);
            std::memcpy(upright.pixels.data() + (std::size_t(y) * std::size_t(upright.width) + std::size_t(x)) * 4,
                stored.pixels.data() + (std::size_t(sy) * std::size_t(w) + std::size_t(sx)) * 4, 4);
        }
    }
    return upright;
}

} // namespace platform
