#include "features/ForestKind.h"

#include "platform/Image.h"

#include <algorithm>
#include <array>
#include <limits>

namespace velorin {

namespace {

// A pixel at most this opaque (of 255) shows no forest.
constexpr int kMaxClearAlpha = 128;
// A pixel this far (squared RGB distance) or farther from every legend colour shows none.
constexpr int kMaxLegendDistanceSquared = 3600;

using K = ForestKind;
constexpr std::array<ForestPaletteEntry, 32> kPalette{{
    {128, 128, 255, K::conifer},
    {191, 38, 255, K::conifer},
    {153, 38, 255, K::conifer},
    {77, 51, 255, K::conifer},
    {255, 26, 255, K::conifer},
    {115, 77, 230, K::conifer},
    {166, 102, 255, K::conifer},
    {217, 153, 255, K::conifer},
    {26, 230, 230, K::conifer},
    {77, 128, 255, K::conifer},
    {51, 153, 255, K::conifer},
    {0, 146, 159, K::conifer},
    {89, 255, 255, K::conifer},
    {64, 77, 255, K::conifer},
    {0, 140, 77, K::broadleaf},
    {0, 255, 128, K::broadleaf},
    {64, 255, 28, K::broadleaf},
    {145, 86, 51, K::broadleaf},
    {175, 202, 89, K::broadleaf},
    {0, 217, 47, K::broadleaf},
    {255, 255, 0, K::broadleaf},
    {0, 77, 46, K::oak},
    {102, 128, 64, K::evergreenOak},
    {255, 102, 51, K::mixed},
    {255, 64, 51, K::mixed},
    {204, 255, 191, K::openBroadleaf},
    {153, 179, 204, K::openConifer},
    {255, 209, 56, K::openMixed},
    {229, 196, 93, K::none},
    {179, 179, 179, K::none},
    {255, 230, 191, K::heath},
    {255, 249, 165, K::heath},
}};

// A straight-alpha channel as it reads once drawn premultiplied.
int premultiplied(int channel, int alpha)
{
    return (channel * alpha + 127) / 255;
}

ForestKind nearestKind(int r, int g, int b)
{
    int best = std::numeric_limits<int>::max();
    ForestKind kind = ForestKind::none;
    for (const ForestPaletteEntry& entry : kPalette) {
        const int dr = r - entry.red;
        const int dg = g - entry.green;
        const int db = b - entry.blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best) {
            best = distance;
            kind = entry.kind;
        }
    }
    return best < kMaxLegendDistanceSquared ? kind : ForestKind::none;
}

} // namespace

std::span<const ForestPaletteEntry> forestPalette()
{
    return kPalette;
}

std::optional<ForestKinds> classifyKinds(std::span<const std::byte> data)
{
    const auto info = platform::probeImage(data);
    if (!info || info->width != kForestTileSide || info->height != kForestTileSide)
        return std::nullopt;
    const auto image = platform::decodeImage(data);
    if (!image || image->width != kForestTileSide || image->height != kForestTileSide)
        return std::nullopt;

    // A tile holds few distinct colours, mostly in runs: each is matched against the legend
    // once and remembered.
    struct Remembered {
        std::uint32_t pixel = 0;
        std::uint8_t kind = 0;
        bool used = false;
    };
    constexpr std::size_t kSlots = 1024;
    std::array<Remembered, kSlots> remembered{};
    ForestKinds kinds(kForestTilePixels);
    const std::byte* pixels = image->pixels.data();
    for (std::size_t at = 0; at < kForestTilePixels; ++at) {
        const int r = int(pixels[4 * at]);
        const int g = int(pixels[4 * at + 1]);
        const int b = int(pixels[4 * at + 2]);
        const int a = int(pixels[4 * at + 3]);
        if (a <= kMaxClearAlpha)
            continue;
        const std::uint32_t pixel = std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16
            | std::uint32_t(a) << 24;
        Remembered& slot = remembered[(pixel * 2654435761u) >> 22];
        if (!slot.used || slot.pixel != pixel) {
            slot = {pixel,
                std::uint8_t(nearestKind(premultiplied(r, a), premultiplied(g, a), premultiplied(b, a))), true};
        }
        kinds[at] = slot.kind;
    }
    return kinds;
}

bool hasForest(const ForestKinds& kinds)
{
    return std::any_of(kinds.begin(), kinds.end(), [](std::uint8_t kind) { return kind != 0; });
}

} // namespace velorin
