// The country outline file: rings of world-unit points, each with its bounding box; the
// rings read re-encode to a file that reads back as the same outline.

#include "fuzz/FuzzCheck.h"
#include "map-data/CountryOutline.h"
#include "map-data/CountryOutlineMask.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

using velorin::CountryOutline;

namespace {

template <typename T>
void append(std::vector<std::byte>& out, T value)
{
    auto bits = std::bit_cast<std::array<std::byte, sizeof value>>(value);
    if constexpr (std::endian::native == std::endian::big)
        std::reverse(bits.begin(), bits.end());
    out.insert(out.end(), bits.begin(), bits.end());
}

std::vector<std::byte> encode(const CountryOutline& outline)
{
    std::vector<std::byte> out;
    append(out, int32_t(outline.rings().size()));
    for (const auto& ring : outline.rings()) {
        append(out, int32_t(ring.size()));
        for (const auto& p : ring) {
            append(out, p.x);
            append(out, p.y);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto outline = CountryOutline::parse(std::span(reinterpret_cast<const std::byte*>(data), size));
    FUZZ_CHECK(outline.bounds().size() == outline.rings().size());
    for (std::size_t r = 0; r < outline.rings().size(); ++r) {
        const auto& ring = outline.rings()[r];
        const auto& box = outline.bounds()[r];
        FUZZ_CHECK(ring.size() >= 3);
        for (const auto& p : ring) {
            FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y));
            FUZZ_CHECK(p.x >= box.minX && p.x <= box.maxX && p.y >= box.minY && p.y <= box.maxY);
        }
    }

    const auto again = CountryOutline::parse(encode(outline));
    FUZZ_CHECK(again.rings() == outline.rings());

    // The mask of a zoom-9 tile, the shallowest that takes the national grid, over the
    // outline's first point when it lies on the map.
    constexpr double tiles = 512;
    double column = 263, row = 181;
    if (!outline.empty()) {
        const auto& p = outline.rings().front().front();
        if (p.x >= 0 && p.x < 1 && p.y >= 0 && p.y < 1) {
            column = std::floor(p.x * tiles);
            row = std::floor(p.y * tiles);
        }
    }
    const auto mask
        = velorin::countryOutlineMask(outline, column / tiles, row / tiles, (column + 1) / tiles, (row + 1) / tiles);
    if (mask)
        FUZZ_CHECK(mask->size() == std::size_t(velorin::kOutlineMaskSide) * velorin::kOutlineMaskSide);
    return 0;
}
