#include "map-data/TerrainService.h"

#include "map-data/CountryOutlineMask.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace velorin {

namespace {

// Heights outside this range are the provider's no-data markers or garbage.
constexpr float kLowestHeightMetres = -100;
constexpr float kHighestHeightMetres = 9000;

constexpr double kTerrariumOffsetMetres = 32768;

constexpr int kDeepestTerrariumLevel = 15;

bool isNoData(float height)
{
    return !(height >= kLowestHeightMetres && height <= kHighestHeightMetres);
}

} // namespace

std::optional<ElevationGrid> TerrainService::decodeBIL(std::span<const std::byte> bytes)
{
    if (bytes.size() != kElevationGridCells * sizeof(float))
        return std::nullopt;
    ElevationGrid grid(kElevationGridCells);
    std::vector<uint8_t> noData(kElevationGridCells, 0);
    bool anyNoData = false;
    for (int i = 0; i < kElevationGridCells; ++i) {
        uint32_t bits;
        std::memcpy(&bits, bytes.data() + i * sizeof bits, sizeof bits);
        if constexpr (std::endian::native == std::endian::big)
            bits = __builtin_bswap32(bits);
        grid[i] = std::bit_cast<float>(bits);
        if (isNoData(grid[i])) {
            noData[i] = 1;
            anyNoData = true;
        }
    }
    if (!anyNoData)
        return grid;

    constexpr int side = kElevationGridSide;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            bool nearHole = false;
            for (int r = std::max(row - 1, 0); r <= std::min(row + 1, side - 1) && !nearHole; ++r)
                for (int c = std::max(column - 1, 0); c <= std::min(column + 1, side - 1) && !nearHole; ++c)
                    nearHole = noData[r * side + c];
            if (nearHole)
                grid[row * side + column] = std::numeric_limits<float>::quiet_NaN();
        }
    }
    return grid;
}

std::optional<ElevationGrid> TerrainService::terrariumHeights(const platform::Image& image)
{
    if (image.width != kElevationGridSide || image.height != kElevationGridSide
        || image.pixels.size() != std::size_t(kElevationGridCells) * 4)
        return std::nullopt;
    ElevationGrid grid(kElevationGridCells);
    for (int i = 0; i < kElevationGridCells; ++i) {
        const auto* rgba = image.pixels.data() + i * 4;
        const double r = std::to_integer<int>(rgba[0]);
        const double g = std::to_integer<int>(rgba[1]);
        const double b = std::to_integer<int>(rgba[2]);
        grid[i] = float(r * 256 + g + b / 256 - kTerrariumOffsetMetres);
    }
    return grid;
}

ElevationGrid TerrainService::franceMasked(ElevationGrid grid, int z, int x, int y)
{
    if (!usesIGN(z, x, y))
        return grid;
    const double n = std::exp2(z);
    auto mask = countryOutlineMask(x / n, y / n, (x + 1) / n, (y + 1) / n);
    if (!mask)
        return grid;
    for (int i = 0; i < kElevationGridCells; ++i)
        if ((*mask)[i])
            grid[i] = std::numeric_limits<float>::quiet_NaN();
    return grid;
}

TerrainService::Key TerrainService::terrariumFillKey(const Key& key)
{
    const int shift = std::max(0, key.z - kDeepestTerrariumLevel);
    return { key.z - shift, key.x >> shift, key.y >> shift };
}

ElevationGrid TerrainService::filledFromTerrarium(ElevationGrid grid, const ElevationGrid& terrarium, const Key& key)
{
    const int shift = std::max(0, key.z - kDeepestTerrariumLevel);
    const int scale = 1 << shift;
    const float offsetX = float((key.x & (scale - 1)) * kElevationGridSide) / float(scale);
    const float offsetY = float((key.y & (scale - 1)) * kElevationGridSide) / float(scale);
    for (int row = 0; row < kElevationGridSide; ++row) {
        for (int column = 0; column < kElevationGridSide; ++column) {
            float& cell = grid[row * kElevationGridSide + column];
            if (std::isnan(cell))
                cell = sampleHeight(terrarium, float(column) / float(scale) + offsetX, float(row) / float(scale) + offsetY);
        }
    }
    return grid;
}

} // namespace velorin
