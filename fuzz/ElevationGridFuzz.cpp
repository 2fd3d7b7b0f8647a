// Elevation grids as the providers send them: Terrarium PNG tiles, and IGN's grids of
// 65,536 little-endian 32-bit floats (BIL).

#include "fuzz/FuzzCheck.h"
#include "map-data/TerrainService.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

using velorin::ElevationGrid;
using velorin::TerrainService;
using velorin::kElevationGridCells;
using velorin::kElevationGridSide;

namespace {

// The range a BIL grid keeps; anything else is a hole.
constexpr float kLowestBILMetres = -100;
constexpr float kHighestBILMetres = 9000;

FUZZ_UNTRACED float rawCell(std::span<const std::byte> bil, int index)
{
    uint32_t bits;
    std::memcpy(&bits, bil.data() + std::size_t(index) * sizeof bits, sizeof bits);
    if constexpr (std::endian::native == std::endian::big)
        bits = __builtin_bswap32(bits);
    return std::bit_cast<float>(bits);
}

FUZZ_UNTRACED bool isHole(float height)
{
    return !(height >= kLowestBILMetres && height <= kHighestBILMetres);
}

// Every kept cell is its raw height and in range; a cell becomes NaN exactly when it or one
// of its eight neighbours is a hole.
FUZZ_UNTRACED void checkBIL(const ElevationGrid& grid, std::span<const std::byte> bil)
{
    FUZZ_CHECK(grid.size() == std::size_t(kElevationGridCells));
    constexpr int side = kElevationGridSide;
    std::vector<float> raw(kElevationGridCells);
    std::vector<bool> hole(kElevationGridCells);
    for (int i = 0; i < kElevationGridCells; ++i) {
        raw[i] = rawCell(bil, i);
        hole[i] = isHole(raw[i]);
    }
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            bool nearHole = false;
            for (int r = std::max(row - 1, 0); r <= std::min(row + 1, side - 1); ++r)
                for (int c = std::max(column - 1, 0); c <= std::min(column + 1, side - 1); ++c)
                    nearHole = nearHole || hole[r * side + c];
            const int at = row * side + column;
            if (nearHole) {
                FUZZ_CHECK(std::isnan(grid[at]));
            } else {
                FUZZ_CHECK(grid[at] == raw[at]);
                FUZZ_CHECK(grid[at] >= kLowestBILMetres && grid[at] <= kHighestBILMetres);
            }
        }
    }
}

// R·256 + G + B/256 − 32768 from 8-bit channels: finite, no holes, within ±32768 m.
FUZZ_UNTRACED void checkTerrarium(const ElevationGrid& grid)
{
    FUZZ_CHECK(grid.size() == std::size_t(kElevationGridCells));
    for (const float height : grid)
        FUZZ_CHECK(std::isfinite(height) && height >= -32768 && height <= 32768);
}

// A whole grid is too large for the fuzzer to grow, so the input is repeated to fill one.
FUZZ_UNTRACED std::vector<std::byte> repeatedToGrid(std::span<const std::byte> bytes)
{
    std::vector<std::byte> bil(std::size_t(kElevationGridCells) * sizeof(float));
    for (std::size_t i = 0; i < bil.size(); ++i)
        bil[i] = bytes[i % bytes.size()];
    return bil;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span bytes(reinterpret_cast<const std::byte*>(data), size);
    constexpr std::size_t bilBytes = std::size_t(kElevationGridCells) * sizeof(float);

    if (auto grid = TerrainService::decodeTerrarium(bytes)) {
        if (size == bilBytes && !(size >= 4 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G')) {
            checkBIL(*grid, bytes);
        } else {
            checkTerrarium(*grid);
        }
    }

    if (size == 0 || size == bilBytes)
        return 0;
    const auto bil = repeatedToGrid(bytes);
    const auto grid = TerrainService::decodeBIL(bil);
    FUZZ_CHECK(grid.has_value());
    checkBIL(*grid, bil);
    return 0;
}
